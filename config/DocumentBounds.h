#pragma once

// What the reader takes of the numbers a definition document gives. The documents of this project
// place controls on an editor of 1500 by 757 pixels and give a control at most a few hundred values;
// anything far outside that is a broken document, whose element is refused (logged) rather than
// built, so that no sum, product or scaling of its numbers overflows and no count allocates without
// end.
namespace DocumentBounds
{
// Positions and sizes, in pixels of the normal-size editor (the host's editor rectangle holds 16 bits).
constexpr int kMaxCoordinate = 32767;
// Every other number of an element: values, offsets, ids, MIDI numbers.
constexpr int kMaxNumber = 1 << 24;
// Values of one control, and so its menu texts, SysEx messages or radio buttons: a 14-bit range.
constexpr int kMaxValues = 16384;
} // namespace DocumentBounds
