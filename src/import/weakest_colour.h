#pragma once
// A block's colours out of a local minimum of k-means: the colour whose points others would take at the
// least cost moves to where the error is highest.

#include "import/colour_points.h"
#include "import/error_space.h"
#include "platform/random.h"

namespace nrbx::importing {

// The colour of `colours` whose removal costs the least (its points going to their second nearest
// colour) restarts at the point that the colour with the highest error reproduces worst, and k-means
// (`iterations`, snapped to the grid) runs again from there; kept while the error over `points` falls,
// at most `attempts` times. The move of enhanced LBG (Patanè and Russo, 2001) at the level of one
// block's colours, as tiledpalettequant replaces its weakest colours.
void moveWeakestColour(ErrorSpace space, const Points& points, int capacity, int attempts, int iterations,
                       Colours& colours, platform::SplitMix64& random);

}  // namespace nrbx::importing
