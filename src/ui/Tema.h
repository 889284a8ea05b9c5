#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

// The interface's colours, type sizes and side margin, read by the main window, the HUD, the meter,
// the status chip and the tray item. Text tints derive from the palette's text colour, so that they
// follow a light or a dark theme.
namespace sonarel::tema {

// The system's accent colours, in their light variant.
inline constexpr QColor kRojo{0xff, 0x3b, 0x30};
inline constexpr QColor kNaranja{0xff, 0x95, 0x00};
inline constexpr QColor kAmarillo{0xff, 0xcc, 0x00};
inline constexpr QColor kGris{0x8e, 0x8e, 0x93};
// Their dark variant, where the HUD and the meter draw on a dark palette.
inline constexpr QColor kRojoOscuro{0xff, 0x45, 0x3a};
inline constexpr QColor kNaranjaOscuro{0xff, 0x9f, 0x0a};

// How much of the text colour each secondary tint keeps.
inline constexpr double kOpacidadSecundaria = 0.55;
inline constexpr double kOpacidadTerciaria = 0.3;
inline constexpr double kOpacidadMarcadorHUD = 0.5;
inline constexpr double kOpacidadDivisor = 0.15;
inline constexpr double kOpacidadBorde = 0.12;
inline constexpr double kOpacidadApagada = 0.12;
inline constexpr double kOpacidadFondoAtajo = 0.10;
inline constexpr double kOpacidadFondoChip = 0.06;
// A disabled symbol's share of its colour.
inline constexpr double kOpacidadInactiva = 0.35;
// The HUD's background where a compositor shows it see-through.
inline constexpr double kOpacidadFondoTranslucido = 0.82;

// Type sizes: the main window's in points, the HUD's in pixels.
inline constexpr double kPuntosEditor = 16;
inline constexpr double kPuntosPequenos = 11;
inline constexpr int kPixelesHUD = 13;
inline constexpr int kPixelesHUDPequenos = 11;

// The side margin of the window's header and footer and of the HUD's capsule.
inline constexpr int kMargenLateral = 16;

inline QColor conOpacidad(QColor color, double opacidad) {
    color.setAlphaF(static_cast<float>(opacidad));
    return color;
}

inline bool paletaOscura(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

inline QColor rojo(const QPalette& palette) {
    return paletaOscura(palette) ? kRojoOscuro : kRojo;
}

inline QColor naranja(const QPalette& palette) {
    return paletaOscura(palette) ? kNaranjaOscuro : kNaranja;
}

inline QColor tinta(const QPalette& palette) {
    return palette.color(QPalette::WindowText);
}

inline QColor secundario(const QPalette& palette) {
    return conOpacidad(tinta(palette), kOpacidadSecundaria);
}

inline QColor terciario(const QPalette& palette) {
    return conOpacidad(tinta(palette), kOpacidadTerciaria);
}

inline QFont fuente(const QFont& base, double puntos) {
    QFont font(base);
    font.setPointSizeF(puntos);
    return font;
}

// Tints a label's or a button's text, over any background.
inline void ponerColorDeTexto(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    // Over the editor's Base background a label draws with Text, not WindowText.
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

}  // namespace sonarel::tema
