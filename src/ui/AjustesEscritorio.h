#pragma once

namespace sonarel {

// The settings the main window can open.
enum class PanelAjustes {
    Modelos,    // the speech models, where offline dictation is set up
    Microfono,  // the desktop's sound input and its permissions
};

}  // namespace sonarel
