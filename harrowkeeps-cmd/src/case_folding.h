// Names compared as Windows compares them: case is ignored for every letter,
// not only A-Z, by Unicode's simple case folding (one letter to one letter,
// as the up-case tables of NTFS and exFAT do it): "BÜCHER" finds "Bücher",
// "ΣΊΣ" finds "σίς", while "ß" and "ss" stay two names. Names are read as
// UTF-8; a byte that does not belong to a valid UTF-8 sequence folds to
// itself and matches only itself (names on Unix are any bytes).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The one folding every comparison of names goes through: two names are the
// same whatever their case exactly when their folded forms are equal. The
// folded form is kept in UTF-8, so sorting folded names orders them the same
// way on every run.
std::string foldCase(std::string_view name);
bool namesEqualIgnoringCase(std::string_view a, std::string_view b);

// The bytes of the one character at `at` (before text's end): a whole UTF-8
// sequence, or 1 for a byte that does not start a valid one.
std::size_t characterLength(std::string_view text, std::size_t at);
