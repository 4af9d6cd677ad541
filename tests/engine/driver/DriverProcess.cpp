#include "DriverProcess.h"

#include <windows.h>

#include <sstream>

#include "BrelioCore/UniqueHandle.h"

namespace brelio::test {

namespace {

std::wstring DriverPath() {
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    folder.resize(folder.find_last_of(L'\\'));
    return folder + L"\\brelio_engine_driver.exe";
}

}  // namespace

std::vector<Json::Value> RunEngineDriver(const std::string& commands, unsigned long timeoutMs) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
    if (!::CreatePipe(&inRead, &inWrite, &inherit, 0) || !::CreatePipe(&outRead, &outWrite, &inherit, 0)) return {};
    UniqueKernelHandle childIn(inRead), toChild(inWrite), fromChild(outRead), childOut(outWrite);
    ::SetHandleInformation(toChild.Get(), HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(fromChild.Get(), HANDLE_FLAG_INHERIT, 0);

    const std::wstring program = DriverPath();
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn.Get();
    startup.hStdOutput = childOut.Get();
    startup.hStdError = childOut.Get();
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &info))
        return {};
    UniqueKernelHandle process(info.hProcess), thread(info.hThread);
    childIn.Reset();
    childOut.Reset();

    DWORD written = 0;
    ::WriteFile(toChild.Get(), commands.data(), static_cast<DWORD>(commands.size()), &written, nullptr);
    toChild.Reset();  // end of input: the driver quits after the last command

    // Read until the driver has ended and its output is drained: under Wine
    // the pipe's end of file can lag behind the process.
    std::string output;
    char buffer[4096];
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    bool ended = false;
    while (true) {
        DWORD available = 0;
        if (::PeekNamedPipe(fromChild.Get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            DWORD got = 0;
            if (!::ReadFile(fromChild.Get(), buffer, sizeof(buffer), &got, nullptr) || got == 0) break;
            output.append(buffer, got);
            continue;
        }
        if (ended) break;
        if (::GetTickCount64() > deadline) {
            ::TerminateProcess(process.Get(), 1);
            return {};
        }
        ended = ::WaitForSingleObject(process.Get(), 50) == WAIT_OBJECT_0;
    }

    std::vector<Json::Value> lines;
    std::istringstream stream(output);
    std::string line;
    Json::CharReaderBuilder builder;
    while (std::getline(stream, line)) {
        if (line.empty()) continue;
        Json::Value value;
        std::string errors;
        std::istringstream lineStream(line);
        if (Json::parseFromStream(builder, lineStream, &value, &errors)) lines.push_back(value);
        else lines.push_back(Json::Value("unparsed: " + line));
    }
    return lines;
}

}  // namespace brelio::test
