#pragma once

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QString>
#include <QVariantList>
#include <memory>
#include <string>
#include <vector>

#include "private_bus.h"

namespace tolvane::testing {

// A test with a private system bus of its own, named by DBUS_SYSTEM_BUS_ADDRESS,
// and logind (python3-dbusmock, with the WithFlags methods) on it. SetUp
// refuses to go on unless the address is that bus and the logind there is
// the mock; a test's own SetUp calls this one first and returns on a fatal
// failure. Further buses go in `folder`, which TearDown removes.
class LogindMockTest : public ::testing::Test {
  protected:
    static const QString kLogind;
    static const QString kLogindPath;
    static const QString kManager;

    LogindMockTest();
    void SetUp() override;
    void TearDown() override;

    std::vector<std::string> LogindCalls() const;
    void ClearLogindCalls() const;
    // A method of the mock itself (AddSession, AddMethod...) on logind's object.
    bool CallLogindMock(const QString& method, const QVariantList& arguments) const;
    // Replaces a logind method with one that fails with this D-Bus error.
    void MakeLogindFail(const QString& method, const QString& signature, const QString& name,
                        const QString& message) const;

    std::string folder;
    std::unique_ptr<PrivateBus> system_;
    QDBusConnection systemBus{QString()};
};

}  // namespace tolvane::testing
