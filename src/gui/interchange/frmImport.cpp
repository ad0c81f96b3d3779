#include "gui/interchange/frmImport.h"

#include "core/Seam.h"
#include "core/interchange/ImportPreview.h"
#include "core/session/CatalogueSession.h"
#include "core/session/ImportWriter.h"
#include "core/store/Category.h"
#include "core/store/NameListModel.h"
#include "gui/IconMdl.h"
#include "gui/OwnedWindow.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

using zv::interchange::Choice;
using zv::interchange::Match;

namespace {

QString matchText(Match match)
{
    switch (match) {
    case Match::New:
        return QStringLiteral("новая");
    case Match::Same:
        return QStringLiteral("такая же");
    case Match::Differs:
        return QStringLiteral("отличается");
    }
    return QString();
}

const QStringList &choiceTexts()
{
    static const QStringList texts{QStringLiteral("Оставить мою"), QStringLiteral("Взять из файла"),
                                   QStringLiteral("Оставить обе")};
    return texts;
}

QPlainTextEdit *textPane(QWidget *parent, const QString &objectName, const QString &accessibleName)
{
    auto *pane = new QPlainTextEdit(parent);
    pane->setObjectName(objectName);
    pane->setReadOnly(true);
    pane->setAccessibleName(accessibleName);
    return pane;
}

} // namespace

frmImport::frmImport(zv::CatalogueSession &session, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_session(session)
{
    zv::dressOwnedWindow(this, QStringLiteral("frmImport"), QStringLiteral("Импорт"));
    SetWindowIcon(this);

    cmdChoose = new QPushButton(QStringLiteral("Выбрать файл..."), this);
    cmdChoose->setObjectName(QStringLiteral("cmdChoose"));
    lblSummary = new QLabel(QStringLiteral("Выберите файл JSON или CSV, записанный экспортом или таблицей."), this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setTextFormat(Qt::PlainText);
    lblSummary->setWordWrap(true);

    lstEntries = new QTreeWidget(this);
    lstEntries->setObjectName(QStringLiteral("lstEntries"));
    lstEntries->setHeaderLabels({QStringLiteral("Раздел"), QStringLiteral("Запись"), QStringLiteral("В каталоге"),
                                 QStringLiteral("Что сделать")});
    lstEntries->setRootIsDecorated(false);
    lstEntries->setUniformRowHeights(true);
    lstEntries->setAllColumnsShowFocus(true);
    lstEntries->header()->resizeSection(0, 150);
    lstEntries->header()->resizeSection(1, 220);
    lstEntries->setAccessibleName(QStringLiteral("Записи файла"));

    auto *mineLabel = new QLabel(QStringLiteral("&Моя запись:"), this);
    txtMine = textPane(this, QStringLiteral("txtMine"), QStringLiteral("Текст записи в каталоге"));
    mineLabel->setBuddy(txtMine);
    auto *theirsLabel = new QLabel(QStringLiteral("Запись из &файла:"), this);
    txtTheirs = textPane(this, QStringLiteral("txtTheirs"), QStringLiteral("Текст записи из файла"));
    theirsLabel->setBuddy(txtTheirs);

    cboChoice = new QComboBox(this);
    cboChoice->setObjectName(QStringLiteral("cboChoice"));
    cboChoice->addItems(choiceTexts());
    cboChoice->setAccessibleName(QStringLiteral("Что сделать с записью, которая отличается"));
    cboChoice->setEnabled(false);
    auto *choiceLabel = new QLabel(QStringLiteral("&Если отличается:"), this);
    choiceLabel->setBuddy(cboChoice);
    cmdAll = new QPushButton(QStringLiteral("Для всех отличающихся"), this);
    cmdAll->setObjectName(QStringLiteral("cmdAll"));
    cmdAll->setEnabled(false);
    cmdAll->setMinimumWidth(cmdAll->sizeHint().width() + 16);

    prgImport = new QProgressBar(this);
    prgImport->setObjectName(QStringLiteral("prgImport"));
    prgImport->setAccessibleName(QStringLiteral("Ход импорта"));
    prgImport->setRange(0, 0);
    prgImport->hide();
    cmdImport = new QPushButton(QStringLiteral("Импортировать"), this);
    cmdImport->setObjectName(QStringLiteral("cmdImport"));
    cmdImport->setEnabled(false);
    cmdClose = new QPushButton(QStringLiteral("Закрыть"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto *top = new QHBoxLayout;
    top->addWidget(cmdChoose);
    top->addWidget(lblSummary, 1);
    auto *texts = new QGridLayout;
    texts->addWidget(mineLabel, 0, 0);
    texts->addWidget(theirsLabel, 0, 1);
    texts->addWidget(txtMine, 1, 0);
    texts->addWidget(txtTheirs, 1, 1);
    auto *choice = new QHBoxLayout;
    choice->addWidget(choiceLabel);
    choice->addWidget(cboChoice);
    choice->addWidget(cmdAll);
    choice->addStretch(1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(prgImport, 1);
    buttons->addStretch(0);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lstEntries, 2);
    layout->addLayout(texts, 1);
    layout->addLayout(choice);
    layout->addLayout(buttons);
    resize(720, 520);

    connect(cmdChoose, &QPushButton::clicked, this, &frmImport::cmdChoose_Click);
    connect(cmdImport, &QPushButton::clicked, this, &frmImport::cmdImport_Click);
    connect(cmdAll, &QPushButton::clicked, this, &frmImport::cmdAll_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(lstEntries, &QTreeWidget::currentItemChanged, this, &frmImport::showCurrent);
    connect(cboChoice, &QComboBox::activated, this, &frmImport::choiceChanged);
    auto *closeWindow = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeWindow, &QShortcut::activated, this, &QWidget::close);
}

frmImport::~frmImport() = default;

void frmImport::cmdChoose_Click()
{
    zv::FileDialogRequest dialog;
    dialog.title = QStringLiteral("Файл для импорта");
    dialog.initialFolder = QDir::homePath();
    dialog.filters = {{QStringLiteral("Записи (JSON, CSV)"), {QStringLiteral("*.json"), QStringLiteral("*.csv")}},
                      {QStringLiteral("Все файлы"), {QStringLiteral("*")}}};
    if (const std::optional<QString> path = zv::seam().openFileDialog(this, dialog); path && !path->isEmpty())
        preview(*path);
}

void frmImport::preview(const QString &path)
{
    if (running() || m_preview)
        return;
    lstEntries->clear();
    m_plan = {};
    cmdImport->setEnabled(false);
    cmdChoose->setEnabled(false);
    lblSummary->setText(QStringLiteral("Файл читается..."));
    QString catalogue;
    try {
        catalogue = m_session.readingConnection()->path();
    } catch (const zv::CatalogueError &error) {
        cmdChoose->setEnabled(true);
        zv::showMessage(this, error.message(), zv::MessageForm::OkExclamation);
        return;
    }
    m_preview = std::make_unique<zv::interchange::ImportPreview>(
        path, catalogue, zv::interchange::ShownNames{m_session.CurrentTable(), m_session.model()->snapshot()});
    connect(m_preview.get(), &zv::interchange::ImportPreview::finished, this, &frmImport::previewFinished);
    m_preview->start();
}

void frmImport::previewFinished(const QString &failure)
{
    m_plan = m_preview->takePlan();
    m_preview.reset();
    cmdChoose->setEnabled(true);
    if (!failure.isEmpty()) {
        lblSummary->setText(QStringLiteral("Файл не импортирован."));
        zv::showMessage(this, QStringLiteral("Этот файл импортировать нельзя.\n") + failure,
                        zv::MessageForm::OkExclamation);
        return;
    }
    QList<QTreeWidgetItem *> items;
    items.reserve(qsizetype(m_plan.entries.size()));
    for (const zv::interchange::PlannedEntry &entry : m_plan.entries) {
        const auto category = zv::categoryByTable(entry.theirs.table);
        items << new QTreeWidgetItem({category ? category->displayName : entry.theirs.table, entry.theirs.name,
                                      matchText(entry.match), QString()});
    }
    lstEntries->addTopLevelItems(items);
    for (int row = 0; row < lstEntries->topLevelItemCount(); ++row)
        refreshRow(row);
    const int differ = m_plan.count(Match::Differs);
    lblSummary->setText(QStringLiteral("Новых записей: %1, таких же: %2, отличаются: %3.")
                            .arg(m_plan.count(Match::New))
                            .arg(m_plan.count(Match::Same))
                            .arg(differ));
    cmdAll->setEnabled(differ > 0);
    cmdImport->setEnabled(m_plan.count(Match::New) + differ > 0);
    if (lstEntries->topLevelItemCount() > 0)
        lstEntries->setCurrentItem(lstEntries->topLevelItem(0));
}

void frmImport::refreshRow(int row)
{
    const zv::interchange::PlannedEntry &entry = m_plan.entries[size_t(row)];
    QString action;
    if (entry.match == Match::New)
        action = QStringLiteral("добавить");
    else if (entry.match == Match::Differs)
        action = entry.choice == Choice::KeepBoth
                     ? QStringLiteral("оставить обе, из файла — «") + entry.bothName + QStringLiteral("»")
                     : choiceTexts()[int(entry.choice)].toLower();
    lstEntries->topLevelItem(row)->setText(3, action);
}

void frmImport::showCurrent()
{
    const int row = lstEntries->indexOfTopLevelItem(lstEntries->currentItem());
    if (row < 0) {
        txtMine->clear();
        txtTheirs->clear();
        cboChoice->setEnabled(false);
        return;
    }
    const zv::interchange::PlannedEntry &entry = m_plan.entries[size_t(row)];
    txtMine->setPlainText(entry.match == Match::New ? QString() : entry.mineText);
    txtTheirs->setPlainText(entry.theirs.text);
    cboChoice->setEnabled(entry.match == Match::Differs && !running());
    cboChoice->setCurrentIndex(int(entry.choice));
}

void frmImport::choiceChanged(int index)
{
    const int row = lstEntries->indexOfTopLevelItem(lstEntries->currentItem());
    if (row < 0 || m_plan.entries[size_t(row)].match != Match::Differs)
        return;
    m_plan.entries[size_t(row)].choice = Choice(index);
    refreshRow(row);
}

void frmImport::cmdAll_Click()
{
    const auto choice = Choice(cboChoice->currentIndex());
    for (size_t row = 0; row < m_plan.entries.size(); ++row) {
        if (m_plan.entries[row].match == Match::Differs) {
            m_plan.entries[row].choice = choice;
            refreshRow(int(row));
        }
    }
}

void frmImport::cmdImport_Click()
{
    if (running() || m_plan.entries.empty())
        return;
    m_writer = std::make_unique<zv::ImportWriter>(m_session, m_session.beginImport(std::move(m_plan)));
    m_plan = {};
    connect(m_writer.get(), &zv::ImportWriter::finished, this, &frmImport::importFinished);
    prgImport->show();
    cmdImport->setEnabled(false);
    cmdChoose->setEnabled(false);
    cmdAll->setEnabled(false);
    cboChoice->setEnabled(false);
    lblSummary->setText(QStringLiteral("Импорт..."));
    m_writer->start();
}

void frmImport::importFinished(int written, const QString &failure, const QString &pictureFailure)
{
    m_writer.reset();
    prgImport->hide();
    cmdChoose->setEnabled(true);
    lstEntries->clear();
    if (!failure.isEmpty()) {
        lblSummary->setText(QStringLiteral("Импорт не удался; каталог не изменён."));
        zv::showMessage(this, QStringLiteral("Не удалось импортировать записи.\n") + failure,
                        zv::MessageForm::OkExclamation);
        return;
    }
    lblSummary->setText(
        QStringLiteral("Импортировано записей: %1. Отменить импорт: Ctrl+Z в главном окне.").arg(written));
    if (!pictureFailure.isEmpty())
        zv::showMessage(this, pictureFailure, zv::MessageForm::OkExclamation);
}

QAction *importWindowAction(QWidget *owner)
{
    return zv::ownedWindowAction(owner, QPixmap(), QStringLiteral("Импорт (Ctrl+I)"), QStringLiteral("actImport"),
                                 QKeySequence(Qt::CTRL | Qt::Key_I));
}

frmImport *openImportWindow(QWidget *owner, zv::CatalogueSession &session)
{
    return zv::showOwnedWindow<frmImport>(owner, [&] { return new frmImport(session, owner); });
}
