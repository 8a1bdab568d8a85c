#include "ui/palette_colours.h"

#include <algorithm>
#include <cmath>

namespace orvane {
namespace {

constexpr double kReadableContrast = 4.5;

double Linear(double channel) {
    return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) +
           0.0722 * Linear(rgb.blueF());
}

QColor Mix(const QColor& from, const QColor& to, double share) {
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * share),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * share),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * share));
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double first = Luminance(a);
    const double second = Luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor ReadableColour(const QColor& wanted, const QColor& background, const QColor& text) {
    // Ten steps are fine enough to keep as much of the hue as the contrast
    // allows; the text colour itself ends the search.
    for (int step = 0; step <= 10; ++step) {
        const QColor candidate = Mix(wanted, text, step / 10.0);
        if (ContrastRatio(candidate, background) >= kReadableContrast) {
            return candidate;
        }
    }
    return text;
}

QColor NoteTextColour(const QPalette& palette) {
    return ReadableColour(palette.color(QPalette::Link), palette.color(QPalette::Base),
                          palette.color(QPalette::Text));
}

}  // namespace orvane
