#include "platform/print/fonts.h"

#include <array>
#include <utility>

#include "platform/codepage.h"

namespace platform {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kFamilies{{
    {"courier new", "Liberation Mono"},
    {"courier", "Liberation Mono"},
    {"times new roman", "Liberation Serif"},
    {"times", "Liberation Serif"},
    {"ms serif", "Liberation Serif"},
    {"arial", "Liberation Sans"},
    {"helvetica", "Liberation Sans"},
    {"ms sans serif", "Liberation Sans"},
    {"microsoft sans serif", "Liberation Sans"},
    {"", "Liberation Sans"},
}};

}  // namespace

std::string mapFontFamily(std::string_view name) {
    std::string_view t = trimmed(name);
    std::string lower = asciiLower(t);
    for (const auto& [from, to] : kFamilies)
        if (lower == from) return std::string(to);
    return std::string(t);
}

QFont printerFont(std::string_view name, double points, bool bold) {
    std::string family = mapFontFamily(name);
    QFont f(QString::fromStdString(family));
    if (family == "Liberation Mono") f.setStyleHint(QFont::Monospace);
    else if (family == "Liberation Serif") f.setStyleHint(QFont::Serif);
    else if (family == "Liberation Sans") f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setKerning(false);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

}  // namespace platform
