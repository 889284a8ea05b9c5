#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace sonarel {

// The HUD's notice: while it holds one, the panel shows it instead of the listening bar.
class HUDEstado : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    const std::optional<QString>& mensaje() const { return mensaje_; }
    // Notifies at every assignment, also of the same value.
    void setMensaje(std::optional<QString> mensaje);

signals:
    void mensajeChanged();

private:
    std::optional<QString> mensaje_;
};

}  // namespace sonarel
