#include "platform/host/simulation.h"

namespace platform {
namespace host {

Simulation& TheSimulation() {
    static Simulation simulation;
    return simulation;
}

void ResetSimulation() {
    TheSimulation() = Simulation{};
}

} // namespace host
} // namespace platform
