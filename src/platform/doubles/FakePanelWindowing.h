#pragma once

#include "platform/PanelWindowing.h"

namespace sonarel::doubles {

// A window system whose compositor a test switches on and off.
class FakePanelWindowing : public PanelWindowing {
public:
    bool compositing() override { return compositor; }
    void prepare(QWindow&) override { ++prepared; }

    bool compositor = false;
    int prepared = 0;
};

}  // namespace sonarel::doubles
