#pragma once

// What assistive technology is told about the program's own controls: the
// overview grid as a table, and a combo box by the name its window gives it.
namespace vb {

// Installs the interfaces once; every window that has such controls calls it
// before it makes them.
void installAccessibility();

} // namespace vb
