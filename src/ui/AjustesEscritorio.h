#pragma once

namespace sonarel {

// The desktop settings pages the main window can open.
enum class PanelAjustes {
    Teclado,    // where offline dictation and keyboard input are set up
    Microfono,  // sound input and its permissions
};

}  // namespace sonarel
