#include "shell/list_commands.h"

#include <strings.h>

#include <QInputDialog>
#include <QMessageBox>
#include <cerrno>
#include <cstring>

#include "base/atomic_file.h"
#include "monitor/list_file.h"
#include "monitor/security_entry.h"
#include "monitor/security_store.h"
#include "shell/message_helpers.h"

namespace velmora {

namespace {

bool readList(const std::string& path, std::string& text, std::string& error) {
  text.clear();
  if (ReadWholeFile(path, text)) return true;
  // A list taken away since start-up is made anew.
  if (errno == ENOENT) return true;
  error = "Can not read " + path + ": " + std::strerror(errno) + ".";
  return false;
}

bool writeList(const std::string& path, const std::string& text, std::string& error) {
  if (WriteFileAtomically(path, text)) return true;
  error = "Can not write " + path + ": " + std::strerror(errno) + ". The list stays as it was.";
  return false;
}

}  // namespace

std::string ListAddProblem(const SecurityStore& store, const std::string& symbol, int realTimeServer) {
  if (symbol.empty()) return "Type the symbol of the security to add.";
  if (symbol.find_first_of(" \t\r\n\v\f") != std::string::npos)
    return "A symbol is one word, without blanks.";
  if (!AcceptableListSymbol(symbol, false))
    return "'" + symbol +
           "' can not be a symbol: at most 63 characters, without '/', '..' or control characters.";
  SecurityData data;
  if (!InitSecurityEntry(data, symbol.c_str(), realTimeServer))
    return "'" + symbol + "' can not be a symbol.";
  for (int i = 0; i < store.count(); ++i)
    if (strcasecmp(store.entry(i).querySymbol(), data.querySymbol) == 0)
      return "'" + std::string(store.entry(i).displaySymbol()) + "' is already in the list.";
  if (store.count() >= kMaxSecurities)
    return "The list already holds " + std::to_string(kMaxSecurities) + " securities, the most it can.";
  return {};
}

bool AddListedSymbol(const std::string& path, const std::string& symbol, std::string& error) {
  std::string text;
  if (!readList(path, text, error)) return false;
  return writeList(path, WithSymbolAdded(text, symbol), error);
}

bool RemoveListedSecurity(const std::string& path, const SecurityStore& store, int index, int realTimeServer,
                          std::string& error) {
  std::string text;
  if (!readList(path, text, error)) return false;
  // Entry i of the store is the i-th line the store took; the file must
  // still say so, or another line would go.
  const std::vector<ListedLine> lines = AcceptedLines(text);
  SecurityData data;
  if (index < 0 || index >= store.count() || static_cast<std::size_t>(index) >= lines.size() ||
      !InitSecurityEntry(data, lines[static_cast<std::size_t>(index)].symbol.c_str(), realTimeServer) ||
      std::strcmp(data.displaySymbol, store.entry(index).displaySymbol()) != 0) {
    error = path + " has changed since it was read; nothing was removed. It is read again now.";
    return false;
  }
  return writeList(path, WithLineRemoved(text, lines[static_cast<std::size_t>(index)]), error);
}

bool AskAndAddSecurity(QWidget* owner, const SecurityStore& store, const std::string& path,
                       int realTimeServer) {
  bool ok = false;
  const QString typed =
      QInputDialog::getText(owner, QStringLiteral("Add Security"), QStringLiteral("Symbol to monitor:"),
                            QLineEdit::Normal, QString(), &ok)
          .trimmed();
  if (!ok || typed.isEmpty()) return false;
  const std::string symbol = typed.toStdString();
  std::string problem = ListAddProblem(store, symbol, realTimeServer);
  if (problem.empty() && AddListedSymbol(path, symbol, problem)) return true;
  ShowError(owner, QString::fromStdString(problem));
  return false;
}

bool AskAndRemoveSecurity(QWidget* owner, const SecurityStore& store, int index, const std::string& path,
                          int realTimeServer) {
  if (index < 0 || index >= store.count()) {
    ShowError(owner, QStringLiteral("Select the security to remove in the monitor first."));
    return false;
  }
  const QString question = QStringLiteral("Remove %1 from the stock list?")
                               .arg(QString::fromLatin1(store.entry(index).displaySymbol()));
  if (QMessageBox::question(owner, QStringLiteral("Remove Security"), question,
                            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
    return false;
  std::string error;
  if (RemoveListedSecurity(path, store, index, realTimeServer, error)) return true;
  ShowError(owner, QString::fromStdString(error));
  return false;
}

}  // namespace velmora
