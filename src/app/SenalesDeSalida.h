#pragma once

#include <QObject>

class QSocketNotifier;

namespace sonarel {

// SIGTERM (a logout, a shutdown, `kill`) and SIGINT (Ctrl+C) become `recibida` on the main
// thread, so that the application ends as its Quit item does instead of dying mid-dictation.
// One per process.
class SenalesDeSalida : public QObject {
    Q_OBJECT

public:
    explicit SenalesDeSalida(QObject* parent = nullptr);
    ~SenalesDeSalida() override;

signals:
    void recibida();

private:
    QSocketNotifier* aviso_ = nullptr;
};

}  // namespace sonarel
