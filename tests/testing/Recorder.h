#pragma once

#include <filesystem>
#include <fstream>
#include <string>

// The recorder the build made (Recorder.cpp), or a copy of it elsewhere.
inline const std::filesystem::path kRecorder =
    std::filesystem::path(TALVERN_RECORDER).make_preferred();

// The lines the recorder at that path has written so far.
inline std::wstring Recorded(const std::filesystem::path& recorder) {
    std::ifstream file(std::filesystem::path(recorder) += L".txt", std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(file), {});
    return {reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t)};
}
