#include "private_bus.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace tolvane::testing {

namespace {

const QString kMockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
// Bounds that only guard against a hang: a loaded machine takes its time.
constexpr int kHangGuardMs = 120 * 1000;

QString Shown(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<bool>()) {
        return value.toBool() ? "true" : "false";
    }
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        // Arrays and dictionaries, as [a, b] and {key: value}.
        const auto argument = value.value<QDBusArgument>();
        QStringList items;
        if (argument.currentType() == QDBusArgument::MapType) {
            argument.beginMap();
            while (!argument.atEnd()) {
                QString key;
                QDBusVariant item;
                argument.beginMapEntry();
                argument >> key >> item;
                argument.endMapEntry();
                items << key + ": " + Shown(item.variant());
            }
            argument.endMap();
            return "{" + items.join(", ") + "}";
        }
        if (argument.currentType() == QDBusArgument::ArrayType) {
            argument.beginArray();
            while (!argument.atEnd()) {
                QString item;
                argument >> item;
                items << item;
            }
            argument.endArray();
            return "[" + items.join(", ") + "]";
        }
    }
    if (value.metaType() == QMetaType::fromType<uchar>()) {
        return QString::number(value.value<uchar>());  // a D-Bus byte, as a number
    }
    if (value.metaType() == QMetaType::fromType<QStringList>()) {
        return "[" + value.toStringList().join(", ") + "]";
    }
    return value.toString();
}

// A bus listening on `socket` and nothing else: no service folder, so it
// starts nothing on its own (a name is served only by what the test runs),
// and anything goes between the test's own processes.
QString BusConfig(const QString& socket) {
    QString escaped = socket.toHtmlEscaped();
    return QStringLiteral(
               "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n"
               "  <type>session</type>\n"
               "  <listen>unix:path=%1</listen>\n"
               "  <auth>EXTERNAL</auth>\n"
               "  <policy context=\"default\">\n"
               "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
               "    <allow eavesdrop=\"true\"/>\n"
               "    <allow own=\"*\"/>\n"
               "  </policy>\n"
               "</busconfig>\n")
        .arg(escaped);
}

}  // namespace

std::string PrivateSystemBusProblem(const char* address, const std::string& expected) {
    if (!address || !*address) return "DBUS_SYSTEM_BUS_ADDRESS is not set";
    const std::string given(address);
    for (const char* real : {"/run/dbus/system_bus_socket", "/var/run/dbus/system_bus_socket"}) {
        if (given.find(real) != std::string::npos) {
            return "DBUS_SYSTEM_BUS_ADDRESS names the machine's system bus: " + given;
        }
    }
    if (given != expected) return "DBUS_SYSTEM_BUS_ADDRESS is not this test's bus: " + given;
    return "";
}

PrivateBus::PrivateBus(const std::string& folder, const QString& name) : name_(name) {
    const QString socket = QString::fromStdString(folder) + "/" + name;
    address_ = ("unix:path=" + socket).toStdString();
    // A configuration of its own: the standard session one would activate
    // whatever the machine has installed (a notification daemon, say) for a
    // name the test means to find unowned, or to serve itself.
    const QString config = socket + ".conf";
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(BusConfig(socket).toUtf8()) < 0 || !file.flush()) {
        throw std::runtime_error("the bus's configuration could not be written");
    }
    file.close();
    daemon_.setProgram("dbus-daemon");
    daemon_.setArguments({"--config-file=" + config, "--nofork", "--nopidfile", "--nosyslog"});
    daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon_.start();
    if (!daemon_.waitForStarted(kHangGuardMs))
        throw std::runtime_error("dbus-daemon did not start");
    if (!ServeEventsUntil([&] { return QFileInfo::exists(socket); }, kHangGuardMs)) {
        throw std::runtime_error("dbus-daemon made no socket");
    }
    // The socket file appears before the daemon listens on it; a connection
    // made in between is refused, and Qt would keep that dead connection
    // under its name for good.
    if (!ServeEventsUntil([&] { return Connection().isConnected(); }, kHangGuardMs)) {
        throw std::runtime_error("dbus-daemon takes no connection");
    }
}

PrivateBus::~PrivateBus() {
    for (std::size_t i = 0; i < mocks_.size(); ++i) StopMock(int(i));
    QDBusConnection::disconnectFromBus(name_);
    daemon_.terminate();
    if (!daemon_.waitForFinished(kHangGuardMs)) {
        daemon_.kill();
        daemon_.waitForFinished(kHangGuardMs);
    }
}

QDBusConnection PrivateBus::Connection() const {
    QDBusConnection connection =
        QDBusConnection::connectToBus(QString::fromStdString(address_), name_);
    if (!connection.isConnected()) {
        // A refused attempt stays cached under the name: drop it, try afresh.
        QDBusConnection::disconnectFromBus(name_);
        connection = QDBusConnection::connectToBus(QString::fromStdString(address_), name_);
    }
    return connection;
}

int PrivateBus::StartMock(const QStringList& arguments, const QString& busName, bool asSystemBus) {
    auto mock = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(asSystemBus ? "DBUS_SYSTEM_BUS_ADDRESS" : "DBUS_SESSION_BUS_ADDRESS",
                       QString::fromStdString(address_));
    mock->setProcessEnvironment(environment);
    mock->setProgram("/usr/bin/python3");
    mock->setArguments(QStringList{"-m", "dbusmock"} + arguments);
    mock->setStandardOutputFile(QProcess::nullDevice());
    mock->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mock->start();
    if (!mock->waitForStarted(kHangGuardMs)) throw std::runtime_error("dbusmock did not start");
    const QDBusConnection bus = Connection();
    if (!ServeEventsUntil([&] { return bus.interface()->isServiceRegistered(busName).value(); },
                          kHangGuardMs)) {
        throw std::runtime_error("dbusmock never served " + busName.toStdString());
    }
    mocks_.push_back(std::move(mock));
    return int(mocks_.size() - 1);
}

void PrivateBus::StopMock(int index) {
    QProcess* mock = mocks_.at(std::size_t(index)).get();
    if (mock->state() == QProcess::NotRunning) return;
    mock->terminate();
    if (!mock->waitForFinished(kHangGuardMs)) {
        mock->kill();
        mock->waitForFinished(kHangGuardMs);
    }
}

bool ServeEventsUntil(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<std::string> MockCalls(const QDBusConnection& bus, const QString& service,
                                   const QString& path) {
    const QDBusMessage reply =
        bus.call(QDBusMessage::createMethodCall(service, path, kMockInterface, "GetCalls"),
                 QDBus::Block, kHangGuardMs);
    std::vector<std::string> calls;
    if (reply.type() != QDBusMessage::ReplyMessage) {
        calls.push_back("<GetCalls failed: " + reply.errorMessage().toStdString() + ">");
        return calls;
    }
    const QDBusArgument list = reply.arguments().value(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        quint64 time = 0;
        QString method;
        list.beginStructure();
        list >> time >> method;
        QStringList shown;
        list.beginArray();
        while (!list.atEnd()) {
            QDBusVariant argument;
            list >> argument;
            shown << Shown(argument.variant());
        }
        list.endArray();
        list.endStructure();
        calls.push_back((method + "(" + shown.join(", ") + ")").toStdString());
    }
    list.endArray();
    return calls;
}

void ClearMockCalls(const QDBusConnection& bus, const QString& service, const QString& path) {
    CallMock(bus, service, path, "ClearCalls", {});
}

bool CallMock(const QDBusConnection& bus, const QString& service, const QString& path,
              const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, kMockInterface, method);
    call.setArguments(arguments);
    return bus.call(call, QDBus::Block, kHangGuardMs).type() == QDBusMessage::ReplyMessage;
}

}  // namespace tolvane::testing
