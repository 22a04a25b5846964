#include "app/platform/fake/FakePlatform.hpp"

#include <algorithm>

namespace quellwave::platform::fake {

EndpointAnswer<MixFormat> FakeAudioEndpoints::defaultMixFormat() { return mixFormat; }

FormatSupport FakeAudioEndpoints::exclusiveFormatSupport(const WaveFormat& format) {
    supportQueries.push_back(format);
    const auto entry =
        std::find_if(support.begin(), support.end(), [&](const auto& answer) { return answer.first == format; });
    return entry == support.end() ? FormatSupport::Unsupported : entry->second;
}

bool FakeAudioEndpoints::initializeExclusive(const WaveFormat& format) {
    exclusiveOpens.push_back(format);
    return std::find(opensExclusive.begin(), opensExclusive.end(), format) != opensExclusive.end();
}

bool FakeAudioEndpoints::initializeShared(const MixFormat& format) {
    sharedOpens.push_back(format);
    return opensShared;
}

EndpointAnswer<EndpointProperty> FakeAudioEndpoints::effectsDisabledProperty() { return effectsDisabled; }

EndpointAnswer<std::vector<EndpointProperty>> FakeAudioEndpoints::activeOutputFormFactors() { return formFactors; }

MonoSetting FakeAudioEndpoints::monoAccessibilitySetting() {
    ++monoQueries;
    return mono;
}

DialogAnswer FakeDialogs::show(const DialogRequest& request) {
    shown.push_back(request);
    if (!answers.empty()) {
        const DialogAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return request.kind == DialogKind::Warning ? DialogAnswer::Yes : DialogAnswer::Ok;
}

std::vector<std::string> FakeDialogs::texts() const {
    std::vector<std::string> result;
    for (const DialogRequest& request : shown) {
        result.push_back(request.text);
    }
    return result;
}

bool FakeSystemServices::setEnvironment(const std::string& name, const std::string& value) {
    if (!environmentWorks) {
        return false;
    }
    environment[name] = value;
    return true;
}

FakePlatform::FakePlatform() : platform_{endpoints, dialogs, system, display}, installed_(platform_) {}

}  // namespace quellwave::platform::fake
