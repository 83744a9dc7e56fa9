#include "look_back_rules.h"

#include <algorithm>
#include <cmath>

namespace look_back {

Range clamp(Range view, Range recording)
{
    if (recording.fromMs > recording.toMs)
        return view;
    const double span = std::min(std::max(view.span(), 0.0), recording.span());
    const double from = std::clamp(view.fromMs, recording.fromMs, recording.toMs - span);
    return {from, from + span};
}

Range zoom(Range view, double anchorMs, double factor, Range recording)
{
    if (recording.fromMs > recording.toMs || !(factor > 0) || !(view.span() > 0))
        return view;
    const double floor = std::min(kMinSpanMs, recording.span());
    const double span = std::max(view.span() * factor, floor);
    const double anchor = std::clamp(anchorMs, view.fromMs, view.toMs);
    const double at = (anchor - view.fromMs) / view.span();
    const double from = anchor - at * span;
    return clamp({from, from + span}, recording);
}

Range wheel(Range view, double anchorMs, double steps, Range recording)
{
    return zoom(view, anchorMs, std::pow(kWheelFactor, -steps), recording);
}

Range pan(Range view, double deltaMs, Range recording)
{
    if (recording.fromMs > recording.toMs)
        return view;
    return clamp({view.fromMs + deltaMs, view.toMs + deltaMs}, recording);
}

Range centred(double atMs, double spanMs, Range recording)
{
    return clamp({atMs - spanMs / 2, atMs + spanMs / 2}, recording);
}

bool recorded(double atMs, Range recording)
{
    return recording.fromMs <= recording.toMs && atMs >= recording.fromMs - kMomentSlackMs &&
           atMs <= recording.toMs + kMomentSlackMs;
}

ValueRange fitValues(double low, double high)
{
    if (!(high > low))
        return {low - 1, high + 1};
    const double span = high - low;
    return {low - 0.05 * span, high + 0.2 * span};
}

} // namespace look_back
