#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace sonarel {

// The HUD's notice (while it holds one, the panel shows it instead of the listening bar) and the
// shortcut's name.
class HUDEstado : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    const std::optional<QString>& mensaje() const { return mensaje_; }
    // Notifies at every assignment, also of the same value.
    void setMensaje(std::optional<QString> mensaje);
    // The shortcut as the panel names it.
    const QString& atajo() const { return atajo_; }
    void setAtajo(const QString& atajo) { atajo_ = atajo; }

signals:
    void mensajeChanged();

private:
    std::optional<QString> mensaje_;
    QString atajo_ = QStringLiteral("Alt+Super+D");
};

}  // namespace sonarel
