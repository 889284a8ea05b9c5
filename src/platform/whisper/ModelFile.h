#pragma once

#include <QIODevice>
#include <QString>

namespace sonarel::whisper {

// Checks that a device holds a whole whisper model in the ggml format before whisper.cpp reads
// it: known dimensions, mel filters and vocabulary in bounds, and every tensor of the model
// present once with all its data. whisper.cpp itself trusts the file and would accept a
// truncated one or allocate whatever a damaged header asks for.
bool isCompleteModel(QIODevice& device);
bool isCompleteModel(const QString& path);

// The same for a Parakeet TDT model (the same magic, a header of its own, mel filters, window,
// durations and vocabulary, then 2- to 4-dimensional tensors), in bounds and whole to its end.
bool isCompleteParakeetModel(QIODevice& device);

enum class ModelKind { none, whisper, parakeet };
// Which library's complete model the file at `path` holds.
ModelKind modelKind(const QString& path);

}  // namespace sonarel::whisper
