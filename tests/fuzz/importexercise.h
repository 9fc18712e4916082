#pragma once
// Imports arbitrary bytes as a JSON export or as a list into a new catalog, as `ktb import` does, and
// checks what an import promises for any file: it ends without a crash; the catalog then holds whole
// discs only, each with the counts of its own tree and no negative size, and a walk of it meets no
// damage; the import said why when it stopped; no scratch file is left. (What the engine does with any
// catalog is catalog_fuzzer's part.) Shared by json_import_fuzzer and list_import_fuzzer.

#include <cstddef>
#include <cstdint>
#include <string>

enum class ImportKind { Json, List };

/// Answers a description of the first broken promise, or an empty text when there was none.
std::string exerciseImport(const std::uint8_t* data, std::size_t size, ImportKind kind);
