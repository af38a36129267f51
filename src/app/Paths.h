#pragma once

#include <string>

#include "util/Geometry.h"

namespace quillane {

// The kinds of document the save panel offers: a PSD, or a PSB (the large-document form).
enum class DocumentType { Psd, Psb };

// A folder whose entries can be listed and read.
bool isReadableFolder(const std::string& path);

// The source folder's name with the type's extension, or nothing when it has no name.
std::string proposedDocumentName(const std::string& sourceFolder, DocumentType type);

// The chosen output path with the type's extension added unless it already ends in ".psd" or
// ".psb" (any case).
std::string withDocumentExtension(const std::string& path, DocumentType type);

// A PSB when the canvas is wider or taller than a PSD holds, else a PSD.
DocumentType documentTypeFor(Size canvas);

}  // namespace quillane
