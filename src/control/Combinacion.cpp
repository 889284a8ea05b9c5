#include "control/Combinacion.h"

#include <QStringList>

#include <array>

namespace sonarel {
namespace {

// The Qt key of each virtual key code 0 to 53 (the US layout's keys by position); 0 marks a gap.
// Printable keys are their unshifted character, which Qt's key codes share.
constexpr std::array<int, 54> kTeclasQt{
    'A',
    'S',
    'D',
    'F',
    'H',
    'G',
    'Z',
    'X',
    'C',
    'V',  // 0-9
    0,
    'B',
    'Q',
    'W',
    'E',
    'R',
    'Y',
    'T',
    '1',
    '2',  // 10-19
    '3',
    '4',
    '6',
    '5',
    '=',
    '9',
    '7',
    '-',
    '8',
    '0',  // 20-29
    ']',
    'O',
    'U',
    '[',
    'I',
    'P',
    Qt::Key_Return,
    'L',
    'J',
    '\'',  // 30-39
    'K',
    ';',
    '\\',
    ',',
    '/',
    'N',
    'M',
    '.',
    Qt::Key_Tab,
    ' ',  // 40-49
    '`',
    Qt::Key_Backspace,
    0,
    Qt::Key_Escape,  // 50-53
};

QString nombreDeTecla(int teclaQt) {
    switch (teclaQt) {
        case Qt::Key_Return:
            return QStringLiteral("Intro");
        case Qt::Key_Tab:
            return QStringLiteral("Tab");
        case ' ':
            return QStringLiteral("Espacio");
        case Qt::Key_Backspace:
            return QStringLiteral("Retroceso");
        case Qt::Key_Escape:
            return QStringLiteral("Esc");
        default:
            return QString(QChar(teclaQt));
    }
}

}  // namespace

QString Combinacion::texto() const {
    QStringList partes;
    if (modificadores & Modifier::Ctrl) {
        partes << QStringLiteral("Ctrl");
    }
    if (modificadores & Modifier::Alt) {
        partes << QStringLiteral("Alt");
    }
    if (modificadores & Modifier::Shift) {
        partes << QStringLiteral("Shift");
    }
    if (modificadores & Modifier::Super) {
        partes << QStringLiteral("Super");
    }
    partes << (teclaQt() != 0 ? nombreDeTecla(teclaQt()) : QStringLiteral("?"));
    return partes.join(QLatin1Char('+'));
}

int Combinacion::teclaQt() const {
    return tecla < kTeclasQt.size() ? kTeclasQt[tecla] : 0;
}

std::optional<Combinacion> Combinacion::deTeclaQt(int tecla, Qt::KeyboardModifiers modificadores) {
    Modifiers propios;
    if (modificadores & Qt::ControlModifier) {
        propios |= Modifier::Ctrl;
    }
    if (modificadores & Qt::ShiftModifier) {
        propios |= Modifier::Shift;
    }
    if (modificadores & Qt::AltModifier) {
        propios |= Modifier::Alt;
    }
    if (modificadores & Qt::MetaModifier) {
        propios |= Modifier::Super;
    }
    if (!(propios & (Modifier::Ctrl | Modifier::Alt | Modifier::Super)) || tecla == 0) {
        return std::nullopt;
    }
    for (std::uint32_t codigo = 0; codigo < kTeclasQt.size(); ++codigo) {
        if (kTeclasQt[codigo] == tecla) {
            return Combinacion{codigo, propios};
        }
    }
    return std::nullopt;
}

}  // namespace sonarel
