#include "control/HotKey.h"

#include "platform/MainThread.h"

#include <QPointer>
#include <QString>

namespace sonarel {

HotKey::HotKey(HotKeyService& service, QObject* parent) : QObject(parent), service_(service) {}

std::uint32_t HotKey::firma() {
    static const std::uint32_t signature = [] {
        std::uint32_t value = 0;
        for (QChar unit : QStringLiteral("DICT")) {
            value = value * 256 + unit.unicode();
        }
        return value;
    }();
    return signature;
}

void HotKey::registerHotKey(std::uint32_t keyCode, Modifiers modifiers) {
    ref_.reset();
    if (!instalado_) {
        service_.installHandler([self = QPointer(this)](HotKeyID id) {
            if (self) {
                self->handlePress(id, false);
            }
        });
        service_.installReleaseHandler([self = QPointer(this)](HotKeyID id) {
            if (self) {
                self->handlePress(id, true);
            }
        });
        instalado_ = true;
    }
    combinacion_ = Combinacion{keyCode, modifiers};
    ref_ = service_.registerHotKey(keyCode, modifiers, combinacion_.texto(), HotKeyID{firma(), 1});
}

void HotKey::unregister() {
    ref_.reset();
}

void HotKey::handlePress(HotKeyID id, bool soltada) {
    if (id.signature != firma()) {
        return;
    }
    // Deferred so that the action never runs inside the desktop's event dispatch.
    postToMain([self = QPointer(this), soltada] {
        if (!self) {
            return;
        }
        const std::function<void()>& accion = soltada ? self->alSoltar : self->action;
        if (accion) {
            accion();
        }
    });
}

}  // namespace sonarel
