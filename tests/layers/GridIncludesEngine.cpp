// A source of the grid layer that reaches up into the engine: the build
// must refuse it, since the grid does not link the engine.
#include "engine/Key.h"
#include "grid/ReadingGrid.h"

int layerProbeGridIncludesEngine() {
  return static_cast<int>(Palisar::Lattivor2::ReadingGrid::MaxNodeLength);
}
