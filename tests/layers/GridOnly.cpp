// A source of the grid layer that includes only what the grid links.
#include "grid/ReadingGrid.h"

int layerProbeGridOnly() {
  return static_cast<int>(Palisar::Lattivor2::ReadingGrid::MaxNodeLength);
}
