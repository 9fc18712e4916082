#pragma once
// The tests' own letter-case rule, written apart from the code under test: the letters a-z upper-cased.

#include <string>

inline std::string upperAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}
