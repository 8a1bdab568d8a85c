#include "tools/reg/reg_command.h"

#include <QMap>
#include <algorithm>
#include <cctype>
#include <optional>

#include "core/paths.h"
#include "settings/store/registry_store.h"
#include "settings/store/registry_types.h"

namespace orvane::tools {

namespace {

const QString kNotFound =
    QStringLiteral("ERROR: The system was unable to find the specified registry key or value.");
const QString kSuccess = QStringLiteral("The operation completed successfully.");
const QString kIndent = QStringLiteral("    ");

QString Usage() {
    return QStringLiteral(
               "Usage: orvane-reg query  KEY [/v NAME | /ve] [/s]\n"
               "       orvane-reg add    KEY /v NAME | /ve [/t TYPE] [/d DATA] [/f]\n"
               "       orvane-reg delete KEY /v NAME | /ve [/f]\n"
               "\n"
               "  KEY   HKLM\\path, HKCU\\path, HKCR\\path or the long root names\n"
               "        (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT)\n"
               "  /v    the value NAME          /ve  the key's default value\n"
               "  /s    list every sub-key too (query)\n"
               "  /t    REG_SZ (default), REG_EXPAND_SZ, REG_BINARY, REG_DWORD or REG_MULTI_SZ\n"
               "  /d    the data: REG_DWORD decimal or 0x hex, REG_BINARY hex digits,\n"
               "        REG_MULTI_SZ items separated by \\0\n"
               "  /f    overwrite or delete without asking\n"
               "\n"
               "Options start with \"/\" or \"-\". Keys are made by orvane-setup; add never\n"
               "creates one. The settings files are in %1\n")
        .arg(paths::ConfigFolder());
}

struct Request {
    QString operation;
    quint32 root = 0;
    QString key;  // below the root, "\"-separated, no empty parts
    std::optional<QString> valueName;
    std::optional<QString> type;
    std::optional<QString> data;
    bool force = false;
    bool recursive = false;
};

bool IsHelp(const QString& argument) {
    return argument == QLatin1String("/?") || argument == QLatin1String("-?") ||
           argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

// Nothing the store holds may move the cursor or recolour a terminal.
QString Printable(const QString& text) {
    QString shown;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            shown += QStringLiteral("\\x%1").arg(static_cast<uint>(c.unicode()), 2, 16,
                                                 QLatin1Char('0'));
        } else {
            shown += c;
        }
    }
    return shown;
}

QString FullKeyName(quint32 root, const QString& key) {
    return key.isEmpty() ? RootKeyName(root) : RootKeyName(root) + QLatin1Char('\\') + key;
}

QString ShownData(const RegValue& value) {
    switch (value.type) {
        case kRegSz:
        case kRegExpandSz:
            return Printable(DecodeRegString(value.data));
        case kRegMultiSz:
            return Printable(DecodeRegMultiString(value.data).join(QStringLiteral("\\0")));
        case kRegDword:
            return QStringLiteral("0x") + QString::number(DecodeRegDword(value.data), 16);
        default:
            return QString::fromLatin1(value.data.toHex().toUpper());
    }
}

QString ValueRow(const RegValue& value) {
    const QString name = value.name.isEmpty() ? QStringLiteral("(Default)") : Printable(value.name);
    return kIndent + name + kIndent + TypeName(value.type) + kIndent + ShownData(value);
}

class RegTool {
  public:
    explicit RegTool(const RegConsole& console)
        : out_(*console.out), err_(*console.err), console_(console) {}

    int Run(const QStringList& arguments) {
        if (arguments.isEmpty()) {
            err_ << "ERROR: Invalid syntax.\n" << Usage();
            return 1;
        }
        // Only where an operation or a key would stand: "/d --help" is data.
        if (IsHelp(arguments.first()) || (arguments.size() > 1 && IsHelp(arguments[1]))) {
            out_ << Usage();
            return 0;
        }
        Request request;
        if (!Parse(arguments, &request)) {
            return 1;
        }
        store_ = HiveFor(request.root);
        if (request.operation == QLatin1String("query")) {
            return Query(request);
        }
        if (request.operation == QLatin1String("add")) {
            return Add(request);
        }
        return Delete(request);
    }

  private:
    int SyntaxError(const QString& why) {
        err_ << "ERROR: Invalid syntax. " << why << "\nType \"orvane-reg /?\" for usage.\n";
        return 1;
    }

    bool Parse(const QStringList& arguments, Request* request) {
        request->operation = arguments.first().toLower();
        if (request->operation != QLatin1String("query") &&
            request->operation != QLatin1String("add") &&
            request->operation != QLatin1String("delete")) {
            SyntaxError(QStringLiteral("Unknown operation \"%1\".").arg(arguments.first()));
            return false;
        }
        if (arguments.size() < 2) {
            SyntaxError(QStringLiteral("A key is needed."));
            return false;
        }
        const QString keyArgument = arguments[1];
        request->root = RootFromName(keyArgument.section(QLatin1Char('\\'), 0, 0));
        if (request->root == 0) {
            err_ << "ERROR: Invalid key name \"" << Printable(keyArgument)
                 << "\": it must start with HKLM, HKCU, HKCR or their long names.\n";
            return false;
        }
        request->key =
            SplitKeyPath(keyArgument.section(QLatin1Char('\\'), 1)).join(QLatin1Char('\\'));

        const bool isQuery = request->operation == QLatin1String("query");
        const bool isAdd = request->operation == QLatin1String("add");
        for (qsizetype i = 2; i < arguments.size(); ++i) {
            const QString& argument = arguments[i];
            const QString option = argument.mid(1).toLower();
            if (!argument.startsWith(QLatin1Char('/')) && !argument.startsWith(QLatin1Char('-'))) {
                SyntaxError(QStringLiteral("Unexpected \"%1\".").arg(Printable(argument)));
                return false;
            }
            auto takeNext = [&](std::optional<QString>* slot) {
                if (slot->has_value() || i + 1 >= arguments.size()) {
                    return false;
                }
                *slot = arguments[++i];
                return true;
            };
            bool ok = false;
            if (option == QLatin1String("v")) {
                ok = takeNext(&request->valueName);
            } else if (option == QLatin1String("ve")) {
                ok = !request->valueName.has_value();
                request->valueName = QString();
            } else if (option == QLatin1String("t") && isAdd) {
                ok = takeNext(&request->type);
            } else if (option == QLatin1String("d") && isAdd) {
                ok = takeNext(&request->data);
            } else if (option == QLatin1String("f") && !isQuery) {
                ok = !request->force;
                request->force = true;
            } else if (option == QLatin1String("s") && isQuery) {
                ok = !request->recursive;
                request->recursive = true;
            }
            if (!ok) {
                SyntaxError(
                    QStringLiteral("\"%1\" is not understood here.").arg(Printable(argument)));
                return false;
            }
        }
        if (!isQuery && !request->valueName.has_value()) {
            SyntaxError(QStringLiteral("/v NAME or /ve is needed."));
            return false;
        }
        return true;
    }

    // A Yes/No question; false without a person to answer it.
    bool Confirm(const QString& question) {
        if (!console_.interactive || console_.in == nullptr) {
            return false;
        }
        out_ << question << " (Yes/No)? " << Qt::flush;
        const QString answer = console_.in->readLine().trimmed().toLower();
        return answer == QLatin1String("yes") || answer == QLatin1String("y");
    }

    int Report(qint32 code) {
        switch (code) {
            case kErrorSuccess:
                out_ << kSuccess << '\n';
                return 0;
            case kErrorFileNotFound:
                err_ << kNotFound << '\n';
                return 1;
            case kErrorBadDb:
                err_ << "ERROR: " << store_->FilePath()
                     << " has errors and is left unchanged until they are fixed:\n";
                for (const QString& problem : store_->Problems()) {
                    err_ << kIndent << Printable(problem) << '\n';
                }
                return 1;
            case kErrorAccessDenied:
                err_ << "ERROR: Access is denied (" << store_->FilePath() << ").\n";
                return 1;
            case kErrorCantWrite:
                err_ << "ERROR: " << store_->FilePath()
                     << " could not be written (is the disk full?); nothing was changed.\n";
                return 1;
            case kErrorInvalidParameter:
                err_ << "ERROR: The parameter is incorrect.\n";
                return 1;
            default:
                err_ << "ERROR: The store answered with code " << code << ".\n";
                return 1;
        }
    }

    void WarnAboutProblems() {
        for (const QString& problem : store_->Problems()) {
            err_ << "WARNING: " << Printable(problem) << '\n';
        }
    }

    std::optional<RegValue> FindValue(const QString& key, const QString& name) {
        QList<RegValue> values;
        store_->EnumValues(key, &values);
        for (const RegValue& value : values) {
            if (value.name.compare(name, Qt::CaseInsensitive) == 0) {
                return value;
            }
        }
        return std::nullopt;
    }

    void ListKey(quint32 root, const QString& key, bool recursive) {
        QList<RegValue> values;
        store_->EnumValues(key, &values);
        out_ << '\n' << Printable(FullKeyName(root, key)) << '\n';
        for (const RegValue& value : values) {
            out_ << ValueRow(value) << '\n';
        }
        QStringList subKeys;
        store_->EnumSubKeys(key, &subKeys);
        if (!recursive && !subKeys.isEmpty()) {
            out_ << '\n';
        }
        for (const QString& name : subKeys) {
            const QString child = key.isEmpty() ? name : key + QLatin1Char('\\') + name;
            if (recursive) {
                ListKey(root, child, true);
            } else {
                out_ << Printable(FullKeyName(root, child)) << '\n';
            }
        }
    }

    int Query(const Request& request) {
        WarnAboutProblems();
        if (!store_->KeyExists(request.key)) {
            err_ << kNotFound << '\n';
            return 1;
        }
        if (!request.valueName.has_value()) {
            ListKey(request.root, request.key, request.recursive);
            return 0;
        }
        const std::optional<RegValue> value = FindValue(request.key, *request.valueName);
        if (!value.has_value() && !request.valueName->isEmpty()) {
            err_ << kNotFound << '\n';
            return 1;
        }
        out_ << '\n' << Printable(FullKeyName(request.root, request.key)) << '\n';
        if (value.has_value()) {
            out_ << ValueRow(*value) << '\n';
        } else {
            out_ << kIndent << "(Default)" << kIndent << "REG_SZ" << kIndent << "(value not set)\n";
        }
        return 0;
    }

    bool ParseData(const Request& request, RegValue* value) {
        const QString typeText = request.type.value_or(QStringLiteral("REG_SZ")).toUpper();
        const QString data = request.data.value_or(QString());
        static const QMap<QString, quint32> kTypes{{QStringLiteral("REG_SZ"), kRegSz},
                                                   {QStringLiteral("REG_EXPAND_SZ"), kRegExpandSz},
                                                   {QStringLiteral("REG_BINARY"), kRegBinary},
                                                   {QStringLiteral("REG_DWORD"), kRegDword},
                                                   {QStringLiteral("REG_MULTI_SZ"), kRegMultiSz}};
        if (!kTypes.contains(typeText)) {
            err_ << "ERROR: Invalid type \"" << Printable(typeText)
                 << "\"; use REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD or REG_MULTI_SZ.\n";
            return false;
        }
        value->type = kTypes.value(typeText);
        switch (value->type) {
            case kRegDword: {
                bool ok = data.isEmpty();
                quint32 number = 0;
                if (!ok) {
                    const bool hex = data.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
                    const QString digits = hex ? data.mid(2) : data;
                    const bool plain =
                        !digits.isEmpty() &&
                        std::all_of(digits.begin(), digits.end(), [&](QChar c) {
                            return c.isDigit() ||
                                   (hex && QStringLiteral("abcdefABCDEF").contains(c));
                        });
                    number = plain ? digits.toUInt(&ok, hex ? 16 : 10) : 0;
                    ok = plain && ok;
                }
                if (!ok) {
                    err_ << "ERROR: Invalid REG_DWORD data \"" << Printable(data)
                         << "\": use a number from 0 to 4294967295, decimal or 0x hex.\n";
                    return false;
                }
                value->data = EncodeRegDword(number);
                return true;
            }
            case kRegBinary: {
                const QByteArray hex = data.toLatin1();
                const bool ok =
                    hex.size() % 2 == 0 && std::all_of(hex.begin(), hex.end(), [](char c) {
                        return std::isxdigit(static_cast<unsigned char>(c));
                    });
                if (!ok || data.size() != hex.size()) {
                    err_ << "ERROR: Invalid REG_BINARY data \"" << Printable(data)
                         << "\": use pairs of hex digits, e.g. 0102ff.\n";
                    return false;
                }
                value->data = QByteArray::fromHex(hex);
                return true;
            }
            case kRegMultiSz:
                value->data = EncodeRegMultiString(data.split(QStringLiteral("\\0")));
                return true;
            default:
                value->data = EncodeRegString(data);
                return true;
        }
    }

    QString ValueLabel(const QString& name) {
        return name.isEmpty() ? QStringLiteral("(Default)") : Printable(name);
    }

    int Add(const Request& request) {
        RegValue value;
        value.name = *request.valueName;
        if (!ParseData(request, &value)) {
            return 1;
        }
        if (!store_->KeyExists(request.key)) {
            err_ << kNotFound << '\n';
            return 1;
        }
        if (!request.force && FindValue(request.key, value.name).has_value()) {
            if (!console_.interactive) {
                err_ << "ERROR: Value " << ValueLabel(value.name)
                     << " exists; add /f to overwrite it.\n";
                return 1;
            }
            if (!Confirm(
                    QStringLiteral("Value %1 exists, overwrite").arg(ValueLabel(value.name)))) {
                err_ << "The operation was cancelled by the user.\n";
                return 1;
            }
        }
        return Report(store_->SetValue(request.key, value));
    }

    int Delete(const Request& request) {
        const QString name = *request.valueName;
        if (!store_->KeyExists(request.key) || !FindValue(request.key, name).has_value()) {
            err_ << kNotFound << '\n';
            return 1;
        }
        if (!request.force) {
            if (!console_.interactive) {
                err_ << "ERROR: Add /f to delete " << ValueLabel(name) << " without being asked.\n";
                return 1;
            }
            if (!Confirm(QStringLiteral("Delete the registry value %1").arg(ValueLabel(name)))) {
                err_ << "The operation was cancelled by the user.\n";
                return 1;
            }
        }
        return Report(store_->DeleteValue(request.key, name));
    }

    QTextStream& out_;
    QTextStream& err_;
    const RegConsole& console_;
    std::shared_ptr<RegistryStore> store_;
};

}  // namespace

int RunReg(const QStringList& arguments, const RegConsole& console) {
    RegTool tool(console);
    const int code = tool.Run(arguments);
    console.out->flush();
    console.err->flush();
    return code;
}

}  // namespace orvane::tools
