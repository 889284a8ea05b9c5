#pragma once

#include <QLocalServer>
#include <QObject>

namespace sonarel {

// One running copy per user session: a later start asks the running one to show its window
// instead of starting a second one (which could not take the hot key anyway).
class InstanciaUnica : public QObject {
    Q_OBJECT

public:
    // `nombre` is the path of the local socket that the running copy listens on.
    explicit InstanciaUnica(QString nombre, QObject* parent = nullptr);

    // The default socket, in the user's runtime folder.
    static QString nombrePorDefecto();

    enum class Aviso { Mostrar, Ninguno };

    // False when another copy answered; with `Aviso::Mostrar` it has then been asked to show its
    // window. True otherwise: this process is the running copy.
    bool reclamar(Aviso aviso);

signals:
    // Another start asked this copy to show its window.
    void activada();

private:
    bool avisarALaQueCorre(Aviso aviso);

    QString nombre_;
    QLocalServer servidor_;
};

}  // namespace sonarel
