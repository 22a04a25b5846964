#pragma once

#include "app/platform/Platform.hpp"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace quellwave::platform::fake {

// Audio outputs with scripted answers; records the formats it was asked about.
class FakeAudioEndpoints : public AudioEndpoints {
public:
    EndpointAnswer<MixFormat> mixFormat = MixFormat{48000, 2};
    // Answers per format; formats not listed are unsupported.
    std::vector<std::pair<WaveFormat, FormatSupport>> support;
    // Formats that open for the output's own use once supported.
    std::vector<WaveFormat> opensExclusive;
    bool opensShared = true;
    EndpointAnswer<EndpointProperty> effectsDisabled = EndpointProperty{true};
    EndpointAnswer<std::vector<EndpointProperty>> formFactors =
        std::vector<EndpointProperty>{static_cast<std::uint32_t>(FormFactor::Headphones)};
    MonoSetting mono{MonoSetting::State::Absent};

    std::vector<WaveFormat> supportQueries;
    std::vector<WaveFormat> exclusiveOpens;
    std::vector<MixFormat> sharedOpens;
    int monoQueries = 0;

    EndpointAnswer<MixFormat> defaultMixFormat() override;
    FormatSupport exclusiveFormatSupport(const WaveFormat& format) override;
    bool initializeExclusive(const WaveFormat& format) override;
    bool initializeShared(const MixFormat& format) override;
    EndpointAnswer<EndpointProperty> effectsDisabledProperty() override;
    EndpointAnswer<std::vector<EndpointProperty>> activeOutputFormFactors() override;
    MonoSetting monoAccessibilitySetting() override;
};

// Message boxes answered from a script; records what was shown.
class FakeDialogs : public Dialogs {
public:
    // Answers in order; when empty, warnings get Yes and errors OK.
    std::deque<DialogAnswer> answers;
    std::vector<DialogRequest> shown;

    DialogAnswer show(const DialogRequest& request) override;
    std::vector<std::string> texts() const;
};

class FakeSystemServices : public SystemServices {
public:
    std::filesystem::path program = "/opt/quellwave/Quellwave";
    std::filesystem::path settingsFolder;
    bool environmentWorks = true;

    std::map<std::string, std::string> environment;
    int characterWaits = 0;

    std::filesystem::path executablePath() override { return program; }
    std::filesystem::path userSettingsFolder() override { return settingsFolder; }
    bool setEnvironment(const std::string& name, const std::string& value) override;
    void waitForCharacter() override { ++characterWaits; }
};

// Records the calls in order ("awake", "sleep").
class FakeDisplaySleep : public DisplaySleep {
public:
    std::vector<std::string> calls;

    void keepAwake() override { calls.emplace_back("awake"); }
    void allowSleep() override { calls.emplace_back("sleep"); }
};

// A whole fake platform, installed for the object's lifetime.
class FakePlatform {
public:
    FakeAudioEndpoints endpoints;
    FakeDialogs dialogs;
    FakeSystemServices system;
    FakeDisplaySleep display;

    FakePlatform();

private:
    Platform platform_;
    ScopedPlatform installed_;
};

}  // namespace quellwave::platform::fake
