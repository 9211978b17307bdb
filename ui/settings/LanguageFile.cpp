#include "ui/settings/LanguageFile.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QKeySequence>
#include <QMetaProperty>
#include <QWidget>
#include <QXmlStreamReader>
#include <string>
#include <vector>

#include "store/Files.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"

namespace kov {
namespace {

// A language file is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxFileSize = 8 * 1024 * 1024;
// Deeper elements are checked for well-formedness but not kept.
constexpr int kMaxDepth = 32;

struct Node {
  QString name;
  QList<QPair<QString, QString>> attributes;
  std::vector<Node> children;
};

bool ParseDocument(const QString& text, Node& root) {
  QXmlStreamReader reader(text);
  std::vector<Node*> stack;
  int depth = 0;  // includes the elements deeper than kept
  bool haveRoot = false;
  while (!reader.atEnd()) {
    const QXmlStreamReader::TokenType token = reader.readNext();
    if (token == QXmlStreamReader::StartElement) {
      ++depth;
      if (depth > kMaxDepth) continue;
      Node* node = nullptr;
      if (stack.empty()) {
        if (haveRoot) return false;
        haveRoot = true;
        node = &root;
      } else {
        stack.back()->children.emplace_back();
        node = &stack.back()->children.back();
      }
      node->name = reader.name().toString();
      for (const QXmlStreamAttribute& a : reader.attributes())
        node->attributes.append({a.name().toString(), a.value().toString()});
      stack.push_back(node);
    } else if (token == QXmlStreamReader::EndElement) {
      if (depth <= kMaxDepth && !stack.empty()) stack.pop_back();
      --depth;
    }
  }
  return !reader.hasError() && haveRoot;
}

const QString* Attribute(const Node& node, QStringView name) {
  for (const auto& [key, value] : node.attributes) {
    if (key.compare(name, Qt::CaseInsensitive) == 0) return &value;
  }
  return nullptr;
}

QString ConvertAllLineBreaks(QString value) {
  return value.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
}

QString ConvertFirstLineBreak(QString value) {
  const qsizetype at = value.indexOf(QStringLiteral("\\n"));
  if (at >= 0) value.replace(at, 2, u'\n');
  return value;
}

void ApplyVariables(const Node& variables) {
  UiText& texts = UiText::Instance();
  for (const Node& item : variables.children) {
    const QString* key = Attribute(item, u"Name");
    if (!key || !texts.HasKey(*key)) continue;
    const QString* value = Attribute(item, u"Value");
    texts.SetText(*key, value ? ConvertAllLineBreaks(*value) : QString());
  }
}

// The text properties a language file may set; "Caption" and "Hint" are the usual names.
void SetProperty(QObject* target, const QString& name, const QString& rawValue) {
  const QString value = ConvertFirstLineBreak(rawValue);
  if (name.compare(u"ShortCut", Qt::CaseInsensitive) == 0) {
    if (auto* action = qobject_cast<QAction*>(target)) action->setShortcut(QKeySequence(rawValue));
    return;
  }
  QString property;
  if (name.compare(u"Caption", Qt::CaseInsensitive) == 0) {
    for (const char* candidate : {"text", "title"}) {
      const int index = target->metaObject()->indexOfProperty(candidate);
      if (index >= 0 && target->metaObject()->property(index).typeId() == QMetaType::QString) {
        property = QString::fromLatin1(candidate);
        break;
      }
    }
    if (property.isEmpty() && target->isWidgetType() && static_cast<QWidget*>(target)->isWindow())
      property = QStringLiteral("windowTitle");
  } else if (name.compare(u"Hint", Qt::CaseInsensitive) == 0) {
    property = QStringLiteral("toolTip");
  } else {
    static const char* const kAllowed[] = {"text",      "title",     "windowTitle",     "toolTip",
                                           "statusTip", "whatsThis", "placeholderText", "iconText"};
    for (const char* allowed : kAllowed) {
      if (name.compare(QLatin1String(allowed), Qt::CaseInsensitive) == 0)
        property = QString::fromLatin1(allowed);
    }
  }
  if (property.isEmpty()) return;
  const QMetaObject* meta = target->metaObject();
  const int index = meta->indexOfProperty(property.toLatin1().constData());
  if (index < 0) return;
  const QMetaProperty p = meta->property(index);
  if (p.isWritable() && p.typeId() == QMetaType::QString) p.write(target, value);
}

// Control names of each searched object, built once per document: a file may hold very many
// elements, and a window many controls.
using ControlIndex = QHash<QObject*, QHash<QString, QObject*>>;

QObject* FindControl(QObject* parent, const QString& name, ControlIndex& index) {
  if (name.isEmpty()) return nullptr;
  auto it = index.find(parent);
  if (it == index.end()) {
    QHash<QString, QObject*> names;
    for (QObject* o : parent->findChildren<QObject*>()) {
      const QString key = o->objectName().toLower();
      if (!key.isEmpty() && !names.contains(key)) names.insert(key, o);
    }
    it = index.insert(parent, names);
  }
  return it->value(name.toLower());
}

void ApplyControl(QObject* control, const Node& node, ControlIndex& index) {
  for (const auto& [name, value] : node.attributes) SetProperty(control, name, value);
  for (const Node& child : node.children) {
    // Elements that name no control stand for object-valued properties, which carry no text
    // we use: they are passed over.
    if (QObject* inner = FindControl(control, child.name, index)) ApplyControl(inner, child, index);
  }
}

void ApplyWindow(QWidget* window, const Node& node) {
  ControlIndex index;
  for (const auto& [name, value] : node.attributes) SetProperty(window, name, value);
  for (const Node& child : node.children) {
    if (child.name.compare(u"Variables", Qt::CaseInsensitive) == 0) continue;
    if (QObject* control = FindControl(window, child.name, index))
      ApplyControl(control, child, index);
  }
}

}  // namespace

QString LanguageFileName(int lang) {
  switch (lang) {
    case 0:
      return QStringLiteral("english.xml");
    case 1:
      return QStringLiteral("german.xml");
    default:
      return {};
  }
}

QString LanguageFilePath(const QString& programDir, int lang) {
  QString dir = QDir::toNativeSeparators(programDir);
  if (!dir.endsWith(QDir::separator())) dir += QDir::separator();
  return dir + LanguageFileName(lang);
}

QString DecodeWindows1252(const QByteArray& bytes) {
  // 0x80..0x9F; the five bytes Windows-1252 leaves undefined map to the same code points.
  static const char16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  QString out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b == 0) break;
    out += (b >= 0x80 && b <= 0x9F) ? QChar(kHigh[b - 0x80]) : QChar(b);
  }
  return out;
}

bool ApplyLanguageDocument(const QByteArray& bytes, const QList<QWidget*>& windows) {
  Node root;
  if (!ParseDocument(DecodeWindows1252(bytes), root)) return false;
  for (const Node& element : root.children) {
    if (element.name.compare(u"Form1", Qt::CaseInsensitive) == 0) {
      for (const Node& child : element.children) {
        if (child.name.compare(u"Variables", Qt::CaseInsensitive) == 0) ApplyVariables(child);
      }
    }
    for (QWidget* window : windows) {
      if (window && window->objectName().compare(element.name, Qt::CaseInsensitive) == 0)
        ApplyWindow(window, element);
    }
  }
  return true;
}

LanguageLoad LoadLanguageFile(const QString& programDir, int lang, const QList<QWidget*>& windows,
                              QWidget* dialogParent) {
  const QString path = LanguageFilePath(programDir, lang);
  const QFileInfo info(path);
  if (LanguageFileName(lang).isEmpty() || !info.exists() || info.isDir()) {
    MessageDialog(QStringLiteral("Language file not found: ") + path, MsgDlgType::Error,
                  MsgDlgBtn::OK, dialogParent);
    return LanguageLoad::NotFound;
  }
  std::string bytes;
  if (info.size() > kMaxFileSize || !ReadAllBytes(QFile::encodeName(path).toStdString(), bytes) ||
      bytes.size() > static_cast<std::size_t>(kMaxFileSize))
    return LanguageLoad::Unreadable;
  return ApplyLanguageDocument(QByteArray::fromStdString(bytes), windows)
             ? LanguageLoad::Loaded
             : LanguageLoad::Unreadable;
}

LanguageLoad LoadLanguageFile(const QString& programDir, int lang) {
  return LoadLanguageFile(programDir, lang, QApplication::topLevelWidgets());
}

}  // namespace kov
