// A one-file HTTP server on 127.0.0.1 for the updater's end-to-end tests, run on a thread of the
// test program: nothing is left running after the test.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/registry.h"

namespace test {

// WinINet reaches the update host only through the prefix's proxy setting: points it at this port
// on 127.0.0.1, and drops Unix proxy variables that leak into the prefix and would send requests
// elsewhere (programs started afterwards inherit that). False when a value cannot be written.
inline bool PointProxyAt(unsigned short port) {
    for (const wchar_t* name : {L"http_proxy", L"HTTP_PROXY", L"no_proxy", L"NO_PROXY"}) {
        ::SetEnvironmentVariableW(name, nullptr);
    }
    const wchar_t key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    return SetDword(HKEY_CURRENT_USER, key, L"ProxyEnable", 1) == ERROR_SUCCESS &&
           SetString(HKEY_CURRENT_USER, key, L"ProxyServer", L"127.0.0.1:" + std::to_wstring(port)) == ERROR_SUCCESS;
}

// A one-file HTTP server: answers every request with the configured status and body and records
// the request target (the absolute URL, as a proxy receives it).
class DescriptionServer {
public:
    ~DescriptionServer() { Stop(); }

    bool Start() {
        WSADATA data{};
        if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
        started_ = true;
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (listener_ == INVALID_SOCKET) return false;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        int length = sizeof(address);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return false;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
        return true;
    }

    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (listener_ != INVALID_SOCKET) ::closesocket(listener_);
        listener_ = INVALID_SOCKET;
        if (started_) ::WSACleanup();
        started_ = false;
    }

    unsigned short port() const { return port_; }

    void Reply(int status, std::string body) {
        std::lock_guard<std::mutex> lock(mutex_);
        status_ = status;
        body_ = std::move(body);
    }

    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

    void ClearRequests() {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.clear();
    }

private:
    void Serve() {
        while (!stop_) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener_, &readable);
            timeval wait{0, 50 * 1000};
            if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
            SOCKET client = ::accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) continue;
            Answer(client);
            ::closesocket(client);
        }
    }

    void Answer(SOCKET client) {
        DWORD timeout = 5000;
        ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
        std::string head;
        char chunk[1024];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 16384) {
            const int got = ::recv(client, chunk, sizeof(chunk), 0);
            if (got <= 0) return;
            head.append(chunk, static_cast<std::size_t>(got));
        }
        std::istringstream firstLine(head.substr(0, head.find("\r\n")));
        std::string method, target;
        firstLine >> method >> target;

        std::string response;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(method + " " + target);
            response = "HTTP/1.1 " + std::to_string(status_) + (status_ == 200 ? " OK" : " Not Found") +
                       "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body_.size()) +
                       "\r\nConnection: close\r\n\r\n" + body_;
        }
        for (std::size_t sent = 0; sent < response.size();) {
            const int put = ::send(client, response.data() + sent, static_cast<int>(response.size() - sent), 0);
            if (put <= 0) break;
            sent += static_cast<std::size_t>(put);
        }
        ::shutdown(client, SD_SEND);
    }

    bool started_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    int status_ = 200;
    std::string body_;
    std::vector<std::string> requests_;
};

}  // namespace test
