#pragma once

#include "engine/Status.h"

#include <QColor>
#include <QWidget>

namespace sonarel {

// The engine's status as the header shows it.
QString textoEstado(const Status& status, bool onDevice);
QColor colorEstado(Status::Kind kind);

// The status chip: a coloured dot and the status text on a faint capsule.
class EstadoChip : public QWidget {
    Q_OBJECT

public:
    explicit EstadoChip(QWidget* parent = nullptr);
    void mostrar(const Status& status, bool onDevice);

    const QString& texto() const { return texto_; }
    const QColor& color() const { return color_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString texto_;
    QColor color_;
};

}  // namespace sonarel
