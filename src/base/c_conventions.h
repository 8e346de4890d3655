#pragma once

namespace velmora {

// Files, reports, log stamps, settings and quote requests are written and
// read with "C" numbers ("12.50") and English time names ("Monday", "PM"),
// whatever the user's locale. The desktop toolkit switches the C library to
// the user's locale when it starts; this puts numbers and time names back
// for the whole process (every thread), and leaves the rest of the user's
// locale (character classes, messages) to the widgets.
void UseClassicNumberAndTimeConventions();

}  // namespace velmora
