#include "platform/RandomGenerator.h"

#include <ctime>

namespace velmora {

void RandomGenerator::seedFromClock() { seed(static_cast<std::uint32_t>(std::time(nullptr))); }

}  // namespace velmora
