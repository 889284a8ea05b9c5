#pragma once

#include "platform/Clock.h"

#include <QString>

namespace sonarel {

// The dictation history: one plain-text UTF-8 file per month, dictados-yyyy-MM.txt, in the folder
// "Sonarel" of the user's data folder ($XDG_DATA_HOME, by default ~/.local/share). Each entry is
// "\n\n===== yyyy-MM-dd HH:mm:ss =====\n" + trimmed text + "\n", in local time. Files only grow.
// The folder is 0700 and the files 0600: dictations are for their owner only.
class Historial {
public:
    explicit Historial(const Clock& clock);

    // The history folder's absolute path; created on every read, the path answered even when
    // that fails.
    QString carpeta() const;

    // Appends one entry for `texto` trimmed at both ends; a blank text writes nothing. Each entry
    // is one write to a file opened for appending, so that concurrent writers never overwrite
    // each other. Failures are silent and never damage what the file already holds.
    void guardar(const QString& texto) const;

private:
    const Clock& clock_;
};

}  // namespace sonarel
