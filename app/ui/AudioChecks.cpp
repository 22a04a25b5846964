#include "app/ui/AudioChecks.hpp"

#include "app/platform/Platform.hpp"
#include "app/ui/MessageBoxes.hpp"

#include <iostream>
#include <variant>

namespace quellwave::ui {

using platform::EndpointFailure;
using platform::EndpointProperty;
using platform::EndpointStep;
using platform::FormFactor;
using platform::MixFormat;
using platform::MonoSetting;

namespace {

constexpr const char* kEnhancementsWarning =
    "Audio enhancements are enabled. Please disable them in your sound settings.\n\n"
    "Continue anyway?";
constexpr const char* kMonoWarning =
    "The system's audio output is mono. Please configure it to Stereo in your sound settings.\n\n"
    "Continue anyway?";
constexpr const char* kHeadphonesWarning =
    "Headphones were not detected. For a successful experience, make sure headphones are "
    "plugged in.\n\nContinue anyway?";

void reportFailure(const EndpointFailure& failure) {
    std::cerr << endpointFailureMessage(failure.step) << failure.code << '\n';
}

bool countsAsHeadphones(const EndpointProperty& formFactor) {
    const auto* value = std::get_if<std::uint32_t>(&formFactor);
    if (value == nullptr) {
        return false;
    }
    const auto kind = static_cast<FormFactor>(*value);
    return kind == FormFactor::Headphones || kind == FormFactor::Headset || kind == FormFactor::UnknownFormFactor;
}

}  // namespace

std::string_view endpointFailureMessage(EndpointStep step) {
    switch (step) {
    case EndpointStep::Enumerator: return "CoCreateInstance for IMMDeviceEnumerator failed: ";
    case EndpointStep::DefaultEndpoint: return "GetDefaultAudioEndpoint failed: ";
    case EndpointStep::PropertyStore: return "OpenPropertyStore failed: ";
    case EndpointStep::AudioClient: return "Activate IAudioClient failed: ";
    case EndpointStep::MixFormat: return "GetMixFormat failed: ";
    }
    return "Audio endpoint query failed: ";
}

bool audioEnhancementsEnabled() {
    const auto answer = platform::currentPlatform().endpoints.effectsDisabledProperty();
    if (const auto* failure = std::get_if<EndpointFailure>(&answer)) {
        reportFailure(*failure);
        return false;
    }
    const auto& property = std::get<EndpointProperty>(answer);
    if (std::holds_alternative<std::monostate>(property)) {
        return true;  // a switch that cannot be read is taken as on
    }
    const auto* disabled = std::get_if<bool>(&property);
    return disabled != nullptr && !*disabled;
}

bool isMonoOutput() {
    const auto answer = platform::currentPlatform().endpoints.defaultMixFormat();
    if (const auto* failure = std::get_if<EndpointFailure>(&answer)) {
        reportFailure(*failure);
        return false;
    }
    return std::get<MixFormat>(answer).channels == 1;
}

bool monoAccessibilityEnabled() {
    const MonoSetting setting = platform::currentPlatform().endpoints.monoAccessibilitySetting();
    switch (setting.state) {
    case MonoSetting::State::SettingsUnreadable:
        std::cerr << "Failed to open registry key (Software\\Microsoft\\Accessibility): " << setting.code << '\n';
        return false;
    case MonoSetting::State::Absent: return false;
    case MonoSetting::State::Present: return setting.value != 0;
    }
    return false;
}

bool headphonesPresent() {
    const auto answer = platform::currentPlatform().endpoints.activeOutputFormFactors();
    const auto* outputs = std::get_if<std::vector<EndpointProperty>>(&answer);
    if (outputs == nullptr) {
        return false;  // an output list that cannot be read counts as no headphones
    }
    for (const EndpointProperty& formFactor : *outputs) {
        if (countsAsHeadphones(formFactor)) {
            return true;
        }
    }
    return false;
}

bool runAudioChecks() {
    if (audioEnhancementsEnabled() && !askToContinue(kEnhancementsWarning)) {
        return false;
    }
    if ((isMonoOutput() || monoAccessibilityEnabled()) && !askToContinue(kMonoWarning)) {
        return false;
    }
    if (!headphonesPresent() && !askToContinue(kHeadphonesWarning)) {
        return false;
    }
    return true;
}

}  // namespace quellwave::ui
