// torvel-host: the demo host. It does what an ERP client does with TORVEL:
// registers the library, creates its classes by ProgID through the per-user
// registry and calls them by dispatch id through the C interface, then prints
// what the call left as Name=value lines.

#include "defaultlibrary.h"
#include "hostsupport.h"

#include "components/components.h"
#include "tools/bomtools.h"
#include "workbench/workbench.h"
#include "hostdb/hostdb.h"
#include "services/com/comerror.h"
#include "services/db/connection.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

using torvel::host::DispatchError;
using torvel::host::Object;
using torvel::host::Value;

namespace {

const char *const kUsage = R"(usage: torvel-host [options] [COMMAND [command options]]

Runs the TORVEL library the way an ERP client does: registers libtorvel.so in
the per-user registry, creates TORVEL.BomInfo or TORVEL.BOMGroupInfo by ProgID,
passes a TORVEL.Connection on the demo database and calls one method by
dispatch id. Results are printed as Name=value lines.

commands:
  workbench                       the workbench (the default): the group tree and
                                  the BOMs of a group, with every use of the
                                  library on its toolbar
  summary                         print what the demo database holds (no window)
  bom [--id N] [--group G]        BomInfo.Show: the BOM editor on BOM N (new when
                                  N < 1) in group G; prints ReturnOK, ReturnBomID,
                                  ReturnBomName, ReturnBomNumber
  group [--id N] [--parent P]     BOMGroupInfo.Show: the group editor on group N
                                  (new when N < 1) under P; prints ReturnOK,
                                  ReturnGroupID, ReturnName, ReturnNumber
  select --item N                 BomInfo.SelectBom for item N; prints SelectBom
                                  (the chosen BOM or 0), ReturnOK, ReturnBomID
  complete --bom N [--note N]     BomInfo.CompleteBom for BOM N and note id;
                                  prints CompleteBom (the note id or 0)
  report --bom N [--date D] [--text]
                                  BomInfo.LookBomReport for BOM N on date D
                                  (YYYY-MM-DD, default today); with --text the
                                  report is printed as aligned text instead of
                                  shown (no display needed)

planner's tools (no display, no library; on the database directly):
  where-used --item CODE [--csv]  the BOMs whose lines use item CODE, and those
                                  whose substitute-class lines name its class
  copy --bom N --number X [--group G]
                                  a new BOM X with BOM N's header and lines, in
                                  group G (default: N's group); prints ReturnBomID
  export [--bom N | --group G] --out FILE
                                  BOM N, the BOMs of group G, or all, as CSV
                                  (UTF-8), one row per line
  import --in FILE [--replace] [--group G]
                                  BOMs from such a file: every row is checked
                                  first and any problem writes nothing; new BOMs
                                  go into group G; an existing number is an error
                                  unless --replace rewrites that BOM

options:
  --db PATH|URL      the SQLite database file, or a PostgreSQL server as
                     postgresql://user@host:port/dbname (demo data is loaded
                     on first use; default ~/.local/share/torvel/demo.db)
  --user NAME        the login published to the security component (default admin)
  --lib PATH         the library to register (default: the one installed or built with it)
  --offscreen        render without a display (needs --screenshot)
  --screenshot FILE  save the dialog (or the workbench) that opens as a PNG and
                     close it at once
  -h, --help         this text
  --version          the version (torvel-host and libtorvel.so share it)

The registry file is $TORVEL_REGISTRY, else $XDG_CONFIG_HOME/torvel/registry.ini,
else ~/.config/torvel/registry.ini.
)";

struct Options {
    std::string command;
    std::map<std::string, std::string> values;   // --id, --group, ...
    QString db;
    QString user = QStringLiteral("admin");
    std::string lib = torvel::host::defaultLibrary();
    bool offscreen = false;
    bool text = false;   // report --text
    bool csv = false;    // where-used --csv
    bool replace = false;   // import --replace
    std::string screenshot;
};

[[noreturn]] void usageError(const std::string &message)
{
    std::fprintf(stderr, "torvel-host: %s\n(see torvel-host --help)\n", message.c_str());
    std::exit(2);
}

int32_t intOption(const Options &o, const std::string &name, std::optional<int32_t> fallback)
{
    const auto it = o.values.find(name);
    if (it == o.values.end()) {
        if (!fallback)
            usageError(o.command + " needs --" + name + " N");
        return *fallback;
    }
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(it->second.c_str(), &end, 10);
    if (it->second.empty() || *end || errno || v < INT32_MIN || v > INT32_MAX)
        usageError("--" + name + " needs a whole number, not '" + it->second + "'");
    return int32_t(v);
}

Options parse(int argc, char **argv)
{
    Options o;
    const std::map<std::string, std::vector<std::string>> allowed = {
        {"summary", {}}, {"workbench", {}}, {"bom", {"id", "group"}}, {"group", {"id", "parent"}},
        {"select", {"item"}}, {"complete", {"bom", "note"}}, {"report", {"bom", "date"}},
        {"where-used", {"item"}}, {"copy", {"bom", "number", "group"}}, {"export", {"bom", "group", "out"}},
        {"import", {"in", "group"}},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc)
                usageError(a + " needs a value");
            return argv[++i];
        };
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a == "--version") {
            std::printf("torvel-host %s\n", TORVEL_VERSION);
            std::exit(0);
        } else if (a == "--db") {
            o.db = QString::fromLocal8Bit(next().c_str());
        } else if (a == "--user") {
            o.user = QString::fromLocal8Bit(next().c_str());
        } else if (a == "--lib") {
            o.lib = next();
        } else if (a == "--offscreen") {
            o.offscreen = true;
        } else if (a == "--screenshot") {
            o.screenshot = next();
        } else if (a == "--text" && o.command == "report") {
            o.text = true;
        } else if (a == "--csv" && o.command == "where-used") {
            o.csv = true;
        } else if (a == "--replace" && o.command == "import") {
            o.replace = true;
        } else if (a.rfind("--", 0) == 0) {
            if (o.command.empty())
                usageError("unknown option " + a);
            const std::string name = a.substr(2);
            const auto &names = allowed.at(o.command);
            if (std::find(names.begin(), names.end(), name) == names.end())
                usageError(o.command + " takes no option " + a);
            o.values[name] = next();
        } else if (o.command.empty()) {
            if (!allowed.count(a))
                usageError("unknown command '" + a + "'");
            o.command = a;
        } else {
            usageError("unexpected argument '" + a + "'");
        }
    }
    if (o.command.empty())
        o.command = "workbench";
    if (o.db.isEmpty()) {
        const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        o.db = QDir(dataDir).filePath(QStringLiteral("torvel/demo.db"));
    }
    if (o.offscreen && o.screenshot.empty())
        usageError("--offscreen needs --screenshot FILE.png: nobody could close the dialog");
    return o;
}

void print(const char *name, const Value &v)
{
    std::printf("%s=%s\n", name, v.toText().c_str());
}

// A file of the embedded database is made absolute, so the library opens the
// same file whatever its own working folder; a server address goes as given.
QString connectionTarget(const QString &db)
{
    if (db.contains(QLatin1String("://")))
        return db;
    return QFileInfo(db).absoluteFilePath();
}

int runSummary(const Options &o)
{
    torvel::host::ensureDemoDatabase(o.db);
    // The host's own connection is closed before the library opens one.
    const torvel::ConnectionPtr c = torvel::Connection::open(o.db);
    std::printf("database=%s\n%s\n", qPrintable(connectionTarget(o.db)),
                torvel::host::demoSummary(*c).toUtf8().constData());
    c->Close();
    return 0;
}

std::string textOption(const Options &o, const std::string &name)
{
    const auto it = o.values.find(name);
    if (it == o.values.end() || it->second.empty())
        usageError(o.command + " needs --" + name);
    return it->second;
}

// The planner's tools run on the host's own connection, without the library.
int runTool(const Options &o)
{
    using namespace torvel::host;
    torvel::host::ensureDemoDatabase(o.db);
    const torvel::ConnectionPtr c = torvel::Connection::open(o.db);
    if (o.command == "where-used") {
        const WhereUsed result = whereUsed(*c, QString::fromLocal8Bit(textOption(o, "item").c_str()));
        if (result.itemId == 0) {
            std::fprintf(stderr, "torvel-host: %s\n", whereUsedText(result).trimmed().toUtf8().constData());
            return 1;
        }
        std::fputs((o.csv ? whereUsedCsv(result) : whereUsedText(result)).toUtf8().constData(), stdout);
        return 0;
    }
    if (o.command == "copy") {
        const int32_t id = copyBom(*c, intOption(o, "bom", std::nullopt),
                                   QString::fromLocal8Bit(textOption(o, "number").c_str()), intOption(o, "group", 0));
        std::printf("ReturnBomID=%d\n", id);
        return 0;
    }
    if (o.command == "export") {
        if (o.values.count("bom") && o.values.count("group"))
            usageError("export takes --bom or --group, not both");
        QFile file(QString::fromLocal8Bit(textOption(o, "out").c_str()));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::fprintf(stderr, "torvel-host: %s\n", qPrintable(file.errorString()));
            return 1;
        }
        const int rows = exportBoms(*c, {intOption(o, "bom", 0), intOption(o, "group", 0)}, file);
        if (!file.flush()) {
            std::fprintf(stderr, "torvel-host: %s\n", qPrintable(file.errorString()));
            return 1;
        }
        std::printf("Rows=%d\n", rows);
        return 0;
    }
    QFile file(QString::fromLocal8Bit(textOption(o, "in").c_str()));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "torvel-host: %s\n", qPrintable(file.errorString()));
        return 1;
    }
    ImportOptions options;
    options.replace = o.replace;
    options.groupId = intOption(o, "group", 0);
    options.progress = [](int done, int total) {
        std::fprintf(stderr, "\r%d/%d", done, total);
        if (done == total)
            std::fputc('\n', stderr);
        return true;
    };
    const ImportResult result = importBoms(*c, file.readAll(), options);
    for (const ImportIssue &i : result.issues)
        std::fprintf(stderr, "%s\n", i.text().toUtf8().constData());
    if (!result.ok()) {
        std::fprintf(stderr, "torvel-host: %zu 处错误，未导入任何内容\n", result.issues.size());
        return 1;
    }
    std::printf("Added=%d\nReplaced=%d\nLines=%d\n", result.added, result.replaced, result.lines);
    return 0;
}

// The workbench on the demo database; with --screenshot it is rendered once
// to the file and closed.
int runWorkbench(const Options &o)
{
    static int argc = 1;
    static char name[] = "torvel-host";
    static char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    torvel::host::Workbench window({torvel::Connection::open(o.db), connectionTarget(o.db), o.user,
                                    [](const std::string &progId) { return Object::create(progId); }});
    window.show();
    if (o.screenshot.empty())
        return app.exec();
    QApplication::processEvents();
    const QString file = QString::fromLocal8Bit(o.screenshot.c_str());
    if (!window.grab().save(file)) {
        std::fprintf(stderr, "torvel-host: cannot write %s\n", qPrintable(file));
        return 1;
    }
    return 0;
}

int runCall(const Options &o)
{
    const bool hasDisplay = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (o.offscreen || o.text)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (!hasDisplay) {
        std::fprintf(stderr,
                     "torvel-host: no display is available (DISPLAY and WAYLAND_DISPLAY are unset), so the "
                     "window cannot be shown.\nRun it on a desktop, or render the window to a picture with "
                     "--offscreen --screenshot FILE.png.\n");
        return 3;
    }
    torvel::host::ensureDemoDatabase(o.db);

    // The demo platform's outside components (pick lists, security, the shared
    // login) for --user, and the embedded database's stored procedures. They
    // go into the platform runtime's registries, which the library loaded
    // below shares with this process.
    {
        const torvel::ConnectionPtr hostConnection = torvel::Connection::open(o.db);
        torvel::host::registerDefaultComponents(hostConnection, o.user);
    }
    torvel::host::registerHostProcedures();

    std::string error;
    if (TV_FAILED(torvel::host::RegisterServer(o.lib, &error))) {
        std::fprintf(stderr, "torvel-host: %s\n", error.c_str());
        return 1;
    }
    if (o.command == "workbench")
        return runWorkbench(o);
    if (!o.screenshot.empty()
        && TV_FAILED(torvel::host::SetDialogScreenshot(o.lib, QFileInfo(QString::fromLocal8Bit(o.screenshot.c_str()))
                                                                  .absoluteFilePath().toUtf8().constData()))) {
        std::fprintf(stderr, "torvel-host: %s cannot take screenshots\n", o.lib.c_str());
        return 1;
    }

    if (o.text && TV_FAILED(torvel::host::SetDialogText(o.lib, true))) {
        std::fprintf(stderr, "torvel-host: %s cannot print dialogs as text\n", o.lib.c_str());
        return 1;
    }

    Object cnn = Object::create("TORVEL.Connection");
    cnn.call(cnn.idOf("Open"), {Value::text(connectionTarget(o.db).toStdString())});
    const Value cnnValue = Value::object(cnn.get());

    if (o.command == "group") {
        Object g = Object::create("TORVEL.BOMGroupInfo");
        g.put(TV_DISPID_ActiveConnection, cnnValue);
        g.put(TV_DISPID_InterID, Value::i4(intOption(o, "id", 0)));
        g.put(TV_DISPID_ParentID, Value::i4(intOption(o, "parent", 0)));
        g.call(TV_DISPID_Show);
        print("ReturnOK", g.get(TV_DISPID_ReturnOK));
        print("ReturnGroupID", g.get(TV_DISPID_ReturnGroupID));
        print("ReturnName", g.get(TV_DISPID_ReturnName));
        print("ReturnNumber", g.get(TV_DISPID_ReturnNumber));
        return 0;
    }

    Object bom = Object::create("TORVEL.BomInfo");
    if (o.command == "bom") {
        bom.put(TV_DISPID_ActiveConnection, cnnValue);
        bom.put(TV_DISPID_InterID, Value::i4(intOption(o, "id", 0)));
        bom.put(TV_DISPID_GroupID, Value::i4(intOption(o, "group", 0)));
        bom.call(TV_DISPID_Show);
        print("ReturnOK", bom.get(TV_DISPID_ReturnOK));
        print("ReturnBomID", bom.get(TV_DISPID_ReturnBomID));
        print("ReturnBomName", bom.get(TV_DISPID_ReturnBomName));
        print("ReturnBomNumber", bom.get(TV_DISPID_ReturnBomNumber));
    } else if (o.command == "select") {
        print("SelectBom", bom.call(TV_DISPID_SelectBom, {cnnValue, Value::i4(intOption(o, "item", std::nullopt))}));
        print("ReturnOK", bom.get(TV_DISPID_ReturnOK));
        print("ReturnBomID", bom.get(TV_DISPID_ReturnBomID));
    } else if (o.command == "complete") {
        print("CompleteBom", bom.call(TV_DISPID_CompleteBom, {cnnValue, Value::i4(intOption(o, "note", 0)),
                                                              Value::i4(intOption(o, "bom", std::nullopt))}));
    } else if (o.command == "report") {
        double date = 0;
        const auto it = o.values.find("date");
        const std::string text = it != o.values.end() ? it->second
                                                      : QDate::currentDate().toString(Qt::ISODate).toStdString();
        if (!torvel::host::oleDateFromIso(text, &date))
            usageError("--date needs YYYY-MM-DD, not '" + text + "'");
        bom.call(TV_DISPID_LookBomReport, {cnnValue, Value::i4(intOption(o, "bom", std::nullopt)), Value::date(date)});
        if (!o.text)
            print("LookBomReport", Value());
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const Options o = parse(argc, argv);
    try {
        if (o.command == "summary")
            return runSummary(o);
        if (o.command == "where-used" || o.command == "copy" || o.command == "export" || o.command == "import")
            return runTool(o);
        return runCall(o);
    } catch (const DispatchError &e) {
        std::fprintf(stderr, "torvel-host: %s (0x%08X, error %d)\n", e.what(), unsigned(e.hr()), e.code());
    } catch (const torvel::ComError &e) {
        std::fprintf(stderr, "torvel-host: %s\n", e.description().toUtf8().constData());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "torvel-host: %s\n", e.what());
    }
    return 1;
}
