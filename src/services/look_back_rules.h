#pragma once

// The time range a chart shows while the operator looks back over its
// recording, as rules without a chart: a wheel step zooms around the
// pointer's time, a drag or an arrow key pans, a message line centres a
// window on its moment.
//
// Rules:
//  - a view never reaches outside the recording [first, last]: a view that
//    would is moved back inside, keeping its span; a span longer than the
//    recording becomes the whole recording;
//  - zooming keeps the anchor's place: the anchor (the pointer's time) stays
//    at the same fraction of the view; a span never gets shorter than
//    kMinSpanMs (the whole recording when that is shorter);
//  - panning moves the view by a time, clamped as above;
//  - a recording without entries (first > last) gives the range unchanged;
//  - a moment is in the recording when it lies within [first, last] widened
//    by kMomentSlackMs on each side: a message line is written between two
//    pushes, and a line of the last moments comes after the last push.
namespace look_back {

inline constexpr double kMinSpanMs = 10000;
// One wheel step (120 eighths of a degree) zooms in or out by this factor.
inline constexpr double kWheelFactor = 1.25;
// A few pushes (two a second).
inline constexpr double kMomentSlackMs = 2000;

struct Range {
    double fromMs = 0;
    double toMs = 0;
    double span() const { return toMs - fromMs; }
    bool contains(double t) const { return t >= fromMs && t <= toMs; }
};

// The view moved (and if need be shortened) into the recording.
Range clamp(Range view, Range recording);
// factor > 1 zooms out, < 1 zooms in.
Range zoom(Range view, double anchorMs, double factor, Range recording);
// The view for wheel steps (angleDelta / 120; positive: in, as the wheel away
// from the operator zooms in).
Range wheel(Range view, double anchorMs, double steps, Range recording);
Range pan(Range view, double deltaMs, Range recording);
// A window of spanMs centred on atMs, clamped (the message list's jump).
Range centred(double atMs, double spanMs, Range recording);
bool recorded(double atMs, Range recording);

// The value axis over samples from low to high: 5 % of the span below and 20 %
// above, so that no curve runs along the plot's edges or under the label at
// the top of the plot; a flat curve gets 1 each side.
struct ValueRange {
    double min = 0;
    double max = 1;
};
ValueRange fitValues(double low, double high);

} // namespace look_back
