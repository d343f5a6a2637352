#include "PhonesXml.h"

#include "AtomicFile.h"
#include "Common.h"
#include "Failure.h"
#include "Passw.h"
#include "Readers.h"

#include <QFile>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <memory>

namespace {
struct DocFree {
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

const xmlChar *X(const char *s)
{
    return reinterpret_cast<const xmlChar *>(s);
}

// An attribute's text; throws when the element lacks it. The value is taken
// from its text as parsed: a reference to an entity declared in the file is
// refused instead of expanded, so that a small file cannot grow into
// gigabytes of text here.
QString attribute(xmlNode *node, const char *name)
{
    xmlAttr *attr = xmlHasProp(node, X(name));
    if (!attr)
        throw SaldomatError(
            QStringLiteral("У элемента \"%1\" нет атрибута \"%2\"")
                .arg(QString::fromUtf8(reinterpret_cast<const char *>(node->name)), QLatin1String(name)));
    QByteArray utf8;
    for (xmlNode *part = attr->children; part; part = part->next) {
        if (part->type != XML_TEXT_NODE)
            throw SaldomatError(
                QStringLiteral("Атрибут \"%1\" ссылается на сущность, объявленную в файле").arg(QLatin1String(name)));
        if (part->content)
            utf8 += reinterpret_cast<const char *>(part->content);
    }
    return QString::fromUtf8(utf8);
}

// "Monitor" and "TrayShow": an unreadable text skips the phone.
bool tickText(const QString &text)
{
    if (const std::optional<bool> b = TickTextToBool(text))
        return *b;
    throw SaldomatError(QStringLiteral("'%1' is not a valid boolean value").arg(text));
}

QByteArray boolText(bool value)
{
    return value ? QByteArrayLiteral("True") : QByteArrayLiteral("False");
}

// The element children of the root, in order (whitespace, comments and
// processing instructions are not phones).
std::vector<xmlNode *> phoneElements(xmlDoc *doc)
{
    std::vector<xmlNode *> elements;
    xmlNode *root = doc ? xmlDocGetRootElement(doc) : nullptr;
    if (!root)
        return elements;
    for (xmlNode *n = root->children; n; n = n->next)
        if (n->type == XML_ELEMENT_NODE)
            elements.push_back(n);
    return elements;
}

TSetupPhoneLine readPhone(xmlNode *node)
{
    return guarded(THIS_ROUTINE, [&] {
        TSetupPhoneLine line;
        line.Number = attribute(node, "Number");
        // A phone whose password is in the system keyring: the element keeps
        // an empty Password and the mark; the keyring is read later.
        line.InKeyring = xmlHasProp(node, X("Keyring")) && IsTrueText(attribute(node, "Keyring"));
        line.KeyringUnread = line.InKeyring;
        if (!line.InKeyring)
            line.Password = DecodePass(attribute(node, "Password"));
        line.Alias = attribute(node, "Alias");
        line.Monitor = tickText(attribute(node, "Monitor"));
        line.TrayShow = tickText(attribute(node, "TrayShow"));
        line.Region = attribute(node, "Region");
        line.ExSettings.Individual = IsTrueText(attribute(node, "Individual"));
        line.ExSettings.BalanceLessThen = TextToFloat32(attribute(node, "BalanceLessThen")).value_or(2.5f);
        line.ExSettings.TurnOffLessThen = TextToInt(attribute(node, "TurnOffLessThen")).value_or(1);
        return line;
    });
}

void writePhone(xmlNode *root, const TSetupPhoneLine &line)
{
    guarded(THIS_ROUTINE, [&] {
        if (TrimControls(line.Number).isEmpty())
            return;
        xmlNode *node = xmlNewChild(root, nullptr, X("Phone"), nullptr);
        if (!node)
            throw SaldomatError(QStringLiteral("Не удалось создать элемент \"Phone\""));
        auto set = [&](const char *name, const QByteArray &utf8) {
            if (!xmlNewProp(node, X(name), reinterpret_cast<const xmlChar *>(utf8.constData())))
                throw SaldomatError(QStringLiteral("Не удалось записать атрибут \"%1\"").arg(QLatin1String(name)));
        };
        set("Number", line.Number.toUtf8());
        const bool keyring = line.InKeyring;
        set("Password", keyring ? QByteArray() : EncodePass(line.Password).toUtf8());
        set("Alias", line.Alias.toUtf8());
        set("Monitor", boolText(line.Monitor));
        set("TrayShow", boolText(line.TrayShow));
        set("Region", line.Region.toUtf8());
        set("Individual", boolText(line.ExSettings.Individual));
        set("BalanceLessThen", FloatToText(static_cast<double>(line.ExSettings.BalanceLessThen)).toUtf8());
        set("TurnOffLessThen", QByteArray::number(line.ExSettings.TurnOffLessThen));
        if (keyring)
            set("Keyring", boolText(true));
    });
}
}  // namespace

QString PhoneElementProblem(const QString &fileName, int element, const QString &reason)
{
    return QStringLiteral("Файл \"%1\": элемент \"Phone\" № %2 пропущен: %3").arg(fileName).arg(element).arg(reason);
}

QString PhonesFileTooLargeProblem(const QString &fileName, qint64 size)
{
    return QStringLiteral("Файл \"%1\" не прочитан: его размер %2 байт больше допустимого (%3 байт)")
        .arg(fileName)
        .arg(size)
        .arg(PhonesXmlMaxBytes);
}

TPhonesXmlState LoadPhonesInfoFromXml(TSetupModel &model, const QString &fileName, int count, QStringList *problems)
{
    return guarded(THIS_ROUTINE, [&] {
        count = std::clamp(count, 0, IssaSlots);
        model.PhonesLock().Acquire(fileName);
        DocPtr doc;
        QFile file(fileName);
        TPhonesXmlState state = file.exists() ? TPhonesXmlState::Malformed : TPhonesXmlState::Missing;
        for (int slot = 1; slot <= count; ++slot)
            model.ClearPhoneInfo(slot);
        if (file.open(QIODevice::ReadOnly)) {
            if (file.size() > PhonesXmlMaxBytes) {
                const QString problem = PhonesFileTooLargeProblem(fileName, file.size());
                if (!problems)
                    throw SaldomatError(problem);
                problems->append(problem);
                return TPhonesXmlState::Malformed;
            }
            const QByteArray bytes = file.read(PhonesXmlMaxBytes);
            // No network, no entity substitution (references stay references,
            // see attribute()), libxml2's limits on entity amplification and
            // huge texts left on, no messages on stderr.
            doc.reset(xmlReadMemory(bytes.constData(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS));
            if (doc && xmlDocGetRootElement(doc.get()))
                state = TPhonesXmlState::Loaded;
        }
        const std::vector<xmlNode *> elements = phoneElements(doc.get());
        for (int slot = 1; slot <= count && slot <= static_cast<int>(elements.size()); ++slot) {
            if (!problems) {
                model.SetLine(slot, readPhone(elements[slot - 1]));
                continue;
            }
            // Each element on its own: a bad one leaves its row empty and the
            // rest still load.
            try {
                model.SetLine(slot, readPhone(elements[slot - 1]));
            } catch (const SaldomatError &e) {
                // The reason without the labels of readPhone and DecodePass.
                QString reason = e.message();
                const qsizetype labels = reason.lastIndexOf(QLatin1String(" -- > "));
                if (labels >= 0)
                    reason.remove(0, labels + 6);
                problems->append(PhoneElementProblem(fileName, slot, reason));
            }
        }
        return state;
    });
}

QByteArray PhonesXmlBytes(const TSetupModel &model, int count)
{
    DocPtr doc(xmlNewDoc(X("1.0")));
    xmlNode *root = xmlNewNode(nullptr, X("Phones"));
    if (!doc || !root)
        throw SaldomatError(QStringLiteral("Не удалось создать документ XML"));
    xmlDocSetRootElement(doc.get(), root);
    count = std::clamp(count, 0, IssaSlots);
    for (int slot = 1; slot <= count; ++slot)
        writePhone(root, model.Line(slot));
    xmlChar *buffer = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc.get(), &buffer, &size, "windows-1251", 1);
    if (!buffer)
        throw SaldomatError(QStringLiteral("Не удалось преобразовать список телефонов в windows-1251"));
    QByteArray bytes(reinterpret_cast<const char *>(buffer), size);
    xmlFree(buffer);
    // Line breaks inside attribute values are written as character references,
    // so every raw LF here ends a line.
    bytes.replace("\n", "\r\n");
    return bytes;
}

void SavePhonesInfoToXml(const TSetupModel &model, const QString &fileName, int count)
{
    guarded(THIS_ROUTINE, [&] {
        // Held since the load, or taken for this write alone.
        TFileLockHold &hold = model.PhonesLock();
        hold.Acquire(fileName);
        TFileLockRelease unlock{hold};
        WriteFileAtomically(fileName, PhonesXmlBytes(model, count));
    });
}
