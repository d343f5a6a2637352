#include "PhonesXml.h"

#include "AtomicFile.h"
#include "Common.h"
#include "Failure.h"
#include "NumberText.h"
#include "Passw.h"

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

// An attribute's text; throws when the element lacks it.
QString attribute(xmlNode *node, const char *name)
{
    xmlChar *value = xmlGetProp(node, X(name));
    if (!value)
        throw SaldomatError(QStringLiteral("У элемента \"%1\" нет атрибута \"%2\"")
                                .arg(QString::fromUtf8(reinterpret_cast<const char *>(node->name)), QLatin1String(name)));
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(value));
    xmlFree(value);
    return text;
}

// "True"/"False" in any letter case, or a number (non-zero is true).
bool textToBool(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (const std::optional<double> n = TextToFloat(t))
        return *n != 0;
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
    return guarded("TfrmSetup.FillSetupPhoneLine", [&] {
        TSetupPhoneLine line;
        line.Number = attribute(node, "Number");
        line.Password = DecodePass(attribute(node, "Password"));
        line.Alias = attribute(node, "Alias");
        line.Monitor = textToBool(attribute(node, "Monitor"));
        line.TrayShow = textToBool(attribute(node, "TrayShow"));
        line.Region = attribute(node, "Region");
        line.ExSettings.Individual = IsTrueText(attribute(node, "Individual"));
        line.ExSettings.BalanceLessThen = TextToFloat32(attribute(node, "BalanceLessThen")).value_or(2.5f);
        line.ExSettings.TurnOffLessThen = TextToInt(attribute(node, "TurnOffLessThen")).value_or(1);
        return line;
    });
}

void writePhone(xmlNode *root, const TSetupPhoneLine &line)
{
    guarded("TfrmSetup.SavePhoneToXml", [&] {
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
        set("Password", EncodePass(line.Password).toUtf8());
        set("Alias", line.Alias.toUtf8());
        set("Monitor", boolText(line.Monitor));
        set("TrayShow", boolText(line.TrayShow));
        set("Region", line.Region.toUtf8());
        set("Individual", boolText(line.ExSettings.Individual));
        set("BalanceLessThen", FloatToText(static_cast<double>(line.ExSettings.BalanceLessThen)).toUtf8());
        set("TurnOffLessThen", QByteArray::number(line.ExSettings.TurnOffLessThen));
    });
}
}  // namespace

TPhonesXmlState LoadPhonesInfoFromXml(TSetupModel &model, const QString &fileName, int count)
{
    return guarded("TfrmSetup.LoadPhonesInfoFromXml", [&] {
        count = std::clamp(count, 0, IssaSlots);
        model.PhonesLock().Acquire(fileName);
        DocPtr doc;
        QFile file(fileName);
        TPhonesXmlState state = file.exists() ? TPhonesXmlState::Malformed : TPhonesXmlState::Missing;
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            // No network, no entity expansion, no messages on stderr.
            doc.reset(xmlReadMemory(bytes.constData(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS));
            if (doc && xmlDocGetRootElement(doc.get()))
                state = TPhonesXmlState::Loaded;
        }
        const std::vector<xmlNode *> elements = phoneElements(doc.get());
        for (int slot = 1; slot <= count; ++slot)
            model.ClearPhoneInfo(slot);
        for (int slot = 1; slot <= count && slot <= static_cast<int>(elements.size()); ++slot) {
            const TSetupPhoneLine line = readPhone(elements[slot - 1]);
            model.SetLine(slot, line);
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
    guarded("TfrmSetup.SavePhonesInfoToXml", [&] {
        // Held since the load, or taken for this write alone.
        TFileLockHold &hold = model.PhonesLock();
        hold.Acquire(fileName);
        struct Unlock {
            TFileLockHold &hold;
            ~Unlock() { hold.Release(); }
        } unlock{hold};
        WriteFileAtomically(fileName, PhonesXmlBytes(model, count));
    });
}

TPhonesXmlState LoadPhonesInfoFromXml()
{
    return LoadPhonesInfoFromXml(SetupModel(), PhonesXmlFileName, MaxPhones);
}

void SavePhonesInfoToXml()
{
    SavePhonesInfoToXml(SetupModel(), PhonesXmlFileName, MaxPhones);
}
