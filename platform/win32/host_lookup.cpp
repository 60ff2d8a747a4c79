#include "host_lookup.h"

#include <atomic>
#include <string>
#include <vector>

#include "stop_signal.h"

namespace win32 {
namespace {

// A host record that owns its texts and addresses.
struct HostCopy {
    std::string name;
    std::vector<std::string> aliases;
    short addressType = 0;
    short addressLength = 0;
    std::vector<std::string> addresses;

    void TakeFrom(const ::hostent& host) {
        name = host.h_name != nullptr ? host.h_name : "";
        addressType = host.h_addrtype;
        addressLength = host.h_length;
        for (char** alias = host.h_aliases; alias != nullptr && *alias != nullptr; ++alias) {
            aliases.emplace_back(*alias);
        }
        for (char** address = host.h_addr_list; address != nullptr && *address != nullptr;
             ++address) {
            addresses.emplace_back(*address, static_cast<std::size_t>(host.h_length));
        }
    }
};

// Shared by the caller and the pool thread; the last one to let go frees it.
struct Lookup {
    std::atomic<int> holders{2};
    HANDLE done = ::CreateEventA(nullptr, win::TRUE, win::FALSE, nullptr);
    bool byName = true;
    std::string key;  // the name, or the address bytes
    int type = 0;
    bool found = false;
    int error = 0;
    HostCopy answer;

    ~Lookup() {
        if (done != nullptr) ::CloseHandle(done);
    }
    void Release() {
        if (--holders == 0) delete this;
    }
};

DWORD WINAPI RunLookup(LPVOID context) {
    auto* lookup = static_cast<Lookup*>(context);
    const ::hostent* host =
        lookup->byName ? ::gethostbyname(lookup->key.c_str())
                       : ::gethostbyaddr(lookup->key.data(), static_cast<int>(lookup->key.size()),
                                         lookup->type);
    if (host != nullptr) {
        lookup->found = true;
        lookup->answer.TakeFrom(*host);
    } else {
        lookup->error = ::WSAGetLastError();
    }
    ::SetEvent(lookup->done);
    lookup->Release();
    return 0;
}

// The calling thread's latest answer, in the shape the callers read.
struct ThreadAnswer {
    HostCopy copy;
    std::vector<char*> aliasPointers;
    std::vector<char*> addressPointers;
    win::hostent entry{};

    win::hostent* Publish(HostCopy&& answer) {
        copy = std::move(answer);
        aliasPointers.clear();
        for (std::string& alias : copy.aliases) aliasPointers.push_back(alias.data());
        aliasPointers.push_back(nullptr);
        addressPointers.clear();
        for (std::string& address : copy.addresses) addressPointers.push_back(address.data());
        addressPointers.push_back(nullptr);
        entry.h_name = copy.name.data();
        entry.h_aliases = aliasPointers.data();
        entry.h_addrtype = copy.addressType;
        entry.h_length = copy.addressLength;
        entry.h_addr_list = addressPointers.data();
        return &entry;
    }
};

thread_local ThreadAnswer t_answer;

win::hostent* Run(Lookup* lookup) {
    if (StopSignal::AppliesToThisThread() && StopSignal::IsRequested()) {
        delete lookup;
        ::WSASetLastError(WSAEINTR);
        return nullptr;
    }
    // Without a pool thread the lookup runs here, and cannot be abandoned.
    if (!::QueueUserWorkItem(RunLookup, lookup, WT_EXECUTELONGFUNCTION)) RunLookup(lookup);
    if (StopSignal::WaitFor(lookup->done, INFINITE) != StopSignal::WaitEnd::Signalled) {
        lookup->Release();
        ::WSASetLastError(WSAEINTR);
        return nullptr;
    }
    win::hostent* result = nullptr;
    if (lookup->found) {
        result = t_answer.Publish(std::move(lookup->answer));
    } else {
        ::WSASetLastError(lookup->error);
    }
    lookup->Release();
    return result;
}

}  // namespace

win::hostent* HostLookup::ByName(const char* name) {
    if (name == nullptr) {
        ::WSASetLastError(WSAEFAULT);
        return nullptr;
    }
    auto* lookup = new Lookup;
    lookup->key = name;
    return Run(lookup);
}

win::hostent* HostLookup::ByAddress(const char* address, int length, int type) {
    if (address == nullptr || length <= 0) {
        ::WSASetLastError(WSAEFAULT);
        return nullptr;
    }
    auto* lookup = new Lookup;
    lookup->byName = false;
    lookup->key.assign(address, static_cast<std::size_t>(length));
    lookup->type = type;
    return Run(lookup);
}

}  // namespace win32
