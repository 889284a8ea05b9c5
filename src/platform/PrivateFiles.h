#pragma once

#include <QString>

namespace sonarel {

// Dictations and desktop tokens are for their owner only, even in a home other users can enter.

// Creates the folder (and its missing parents) if needed, and makes it 0700. False if it is
// not there afterwards.
bool makePrivateFolder(const QString& path);
// Makes an existing file 0600, or creates it empty with that mode, so that a later writer that
// keeps the file's mode (QSettings does) keeps it private.
void makePrivateFile(const QString& path);

}  // namespace sonarel
