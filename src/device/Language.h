#pragma once

namespace flashwell {

// The interface-language test that picks the mainland-China server, names and texts.
class Language final
{
public:
    Language() = delete;
    // True exactly when the first preferred language is "zh-Hans-CN", "zh-Hans" or "zh-Hans-US".
    static bool isCurrentChinaLanguage();
};

} // namespace flashwell
