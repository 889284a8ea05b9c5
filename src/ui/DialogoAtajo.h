#pragma once

#include "control/Combinacion.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;

namespace sonarel {

// Records a new combination for the shortcut: the keys pressed while it is open show as they
// would be written, and "Usar" tries to reserve them; a combination that cannot be had keeps the
// dialog open and says why.
class DialogoAtajo : public QDialog {
    Q_OBJECT

public:
    // Reserves the combination and keeps it; the reason when it cannot be had.
    using Usar = std::function<std::optional<QString>(const Combinacion&)>;

    DialogoAtajo(Combinacion actual, Usar usar, QWidget* parent = nullptr);

    QLabel& combinacion() { return *combinacion_; }
    QLabel& mensaje() { return *mensaje_; }
    QPushButton& botonUsar() { return *usar_; }
    QPushButton& botonPorDefecto() { return *porDefecto_; }

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void elegir(const Combinacion& combinacion);

    Usar usarCombinacion_;
    Combinacion elegida_;
    QLabel* combinacion_;
    QLabel* mensaje_;
    QPushButton* porDefecto_;
    QPushButton* usar_;
};

}  // namespace sonarel
