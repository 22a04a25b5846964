#pragma once
// Internal: the emulated daemon's agent manager (AgentManager1): the client's pairing agent,
// asked the pairing's questions.

#include <string>

#include "sim/bluez/EmulatedObjects.hpp"

namespace VexaSim {

class EmulatedAgents {
public:
    explicit EmulatedAgents(BluezEmulator::Impl& impl) : impl_(impl) {}

    // ---- AgentManager1 (loop thread) ----
    int registerAgent(sd_bus_message* message);
    int unregisterAgent(sd_bus_message* message);

    // Loop thread: the agent goes with the daemon.
    void clear() { agent_.clear(); }
    // Any thread but the loop's: asks the agent, waiting for its answer; true without an agent.
    bool ask(const std::string& devicePath, Platform::PairingKind kind);

private:
    BluezEmulator::Impl& impl_;
    std::string agent_;
    std::string agentPath_;
};

}  // namespace VexaSim
