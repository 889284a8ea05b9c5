#pragma once

#include <QLocalServer>
#include <QObject>

namespace sonarel {

// One running copy per user session: a later start asks the running one to show its window, or
// to toggle the dictation, instead of starting a second one (which could not take the hot key
// anyway).
class InstanciaUnica : public QObject {
    Q_OBJECT

public:
    // `nombre` is the path of the local socket that the running copy listens on.
    explicit InstanciaUnica(QString nombre, QObject* parent = nullptr);

    // The default socket, in the user's runtime folder.
    static QString nombrePorDefecto();

    enum class Aviso { Mostrar, Alternar, Empezar, Parar, Ninguno };

    // False when another copy answered; it has then been asked to show its window
    // (`Aviso::Mostrar`), to toggle the dictation (`Aviso::Alternar`), or to start or stop it
    // (`Aviso::Empezar`, `Aviso::Parar`). True otherwise: this process is the running copy.
    bool reclamar(Aviso aviso);

signals:
    // Another start asked this copy to show its window.
    void activada();
    // Another start asked this copy to toggle the dictation, as the shortcut does.
    void alternar();
    // Another start asked this copy to start, or to stop, the dictation (a shortcut held down).
    void empezar();
    void parar();

private:
    bool avisarALaQueCorre(Aviso aviso);

    QString nombre_;
    QLocalServer servidor_;
};

}  // namespace sonarel
