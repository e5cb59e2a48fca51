#include "logind_mock.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace tolvane::testing {

const QString LogindMockTest::kLogind = "org.freedesktop.login1";
const QString LogindMockTest::kLogindPath = "/org/freedesktop/login1";
const QString LogindMockTest::kManager = "org.freedesktop.login1.Manager";

namespace {

std::string MakeFolder() {
    std::string pattern = "/tmp/tolvane-bus-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("no folder for the buses");
    return pattern;
}

}  // namespace

LogindMockTest::LogindMockTest() : folder(MakeFolder()) {}

void LogindMockTest::SetUp() {
    system_ = std::make_unique<PrivateBus>(folder, "system");
    systemBus = system_->Connection();
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", system_->Address().c_str(), 1);
    ASSERT_EQ(PrivateSystemBusProblem(::getenv("DBUS_SYSTEM_BUS_ADDRESS"), system_->Address()), "")
        << "refusing to run";
    system_->StartMock({"--system", "--template", TOLVANE_LOGIND_TEMPLATE}, kLogind, true);
    // Only a mock answers the mock's own interface: the last guard before any call.
    ASSERT_TRUE(CallLogindMock("ClearCalls", {}))
        << "org.freedesktop.login1 on this bus is not the mock; refusing to run";
}

void LogindMockTest::TearDown() {
    system_.reset();
    std::filesystem::remove_all(folder);
}

std::vector<std::string> LogindMockTest::LogindCalls() const {
    return MockCalls(systemBus, kLogind, kLogindPath);
}

void LogindMockTest::ClearLogindCalls() const {
    ClearMockCalls(systemBus, kLogind, kLogindPath);
}

bool LogindMockTest::CallLogindMock(const QString& method, const QVariantList& arguments) const {
    return CallMock(systemBus, kLogind, kLogindPath, method, arguments);
}

void LogindMockTest::MakeLogindFail(const QString& method, const QString& signature,
                                    const QString& name, const QString& message) const {
    ASSERT_TRUE(CallLogindMock(
        "AddMethod",
        {kManager, method, signature, "",
         QString("raise dbus.exceptions.DBusException(\"%1\", name=\"%2\")").arg(message, name)}));
}

}  // namespace tolvane::testing
