#pragma once

#include <QList>
#include <QString>

namespace sonarel {

// A recognition language the user can choose: the locale handed to the recognizer and its name.
struct Idioma {
    QString id;
    QString nombre;

    // The picker's catalogue, in the picker's order; the first entry is the default locale.
    static const QList<Idioma>& todos();

    friend bool operator==(const Idioma&, const Idioma&) = default;
};

}  // namespace sonarel
