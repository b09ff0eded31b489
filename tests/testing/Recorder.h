#pragma once

#include <filesystem>
#include <fstream>

// The recorder (Recorder.cpp) the build made, and what one at that path has written so far.
inline const auto kRecorder = std::filesystem::path(TALVERN_RECORDER).make_preferred();
inline std::wstring Recorded(const std::filesystem::path& recorder) {
    std::ifstream file(std::filesystem::path(recorder) += L".txt", std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(file), {});
    return {reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t)};
}
