#include "gui/interchange/frmExport.h"

#include "core/Seam.h"
#include "core/interchange/Exporter.h"
#include "core/screenshots/ScreenshotStore.h"
#include "core/session/CatalogueSession.h"
#include "core/store/Category.h"
#include "gui/IconMdl.h"
#include "gui/OwnedWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

using zv::interchange::ExportOutcome;
using zv::interchange::ExportRequest;
using zv::interchange::Format;

namespace {

struct FormatChoice
{
    QString text;
    Format format;
    QString suggestedName;
};

const std::vector<FormatChoice> &formatChoices()
{
    static const std::vector<FormatChoice> choices{
        {QStringLiteral("Веб-страницы"), Format::WebPages, QStringLiteral("Пасхалки — веб-страницы")},
        {QStringLiteral("Markdown"), Format::Markdown, QStringLiteral("Пасхалки — Markdown")},
        {QStringLiteral("CSV (для таблиц)"), Format::Csv, QStringLiteral("Пасхалки — CSV")},
        {QStringLiteral("JSON (для импорта, без потерь)"), Format::Json, QStringLiteral("Пасхалки — JSON")}};
    return choices;
}

} // namespace

frmExport::frmExport(zv::CatalogueSession &session, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_session(session)
{
    zv::dressOwnedWindow(this, QStringLiteral("frmExport"), QStringLiteral("Экспорт"));
    SetWindowIcon(this);

    auto *what = new QGroupBox(QStringLiteral("Что экспортировать"), this);
    what->setObjectName(QStringLiteral("fraWhat"));
    optEntry = new QRadioButton(what);
    optEntry->setObjectName(QStringLiteral("optEntry"));
    optCategory = new QRadioButton(what);
    optCategory->setObjectName(QStringLiteral("optCategory"));
    optCatalogue = new QRadioButton(QStringLiteral("Весь каталог"), what);
    optCatalogue->setObjectName(QStringLiteral("optCatalogue"));
    auto *whatLayout = new QVBoxLayout(what);
    whatLayout->addWidget(optEntry);
    whatLayout->addWidget(optCategory);
    whatLayout->addWidget(optCatalogue);

    chkPictures = new QCheckBox(QStringLiteral("Со скриншотами"), this);
    chkPictures->setObjectName(QStringLiteral("chkPictures"));
    chkPictures->setChecked(true);
    cboFormat = new QComboBox(this);
    cboFormat->setObjectName(QStringLiteral("cboFormat"));
    for (const FormatChoice &choice : formatChoices())
        cboFormat->addItem(choice.text);
    auto *formatLabel = new QLabel(QStringLiteral("&Формат:"), this);
    formatLabel->setBuddy(cboFormat);
    cboFormat->setAccessibleName(QStringLiteral("Формат"));

    prgExport = new QProgressBar(this);
    prgExport->setObjectName(QStringLiteral("prgExport"));
    prgExport->setAccessibleName(QStringLiteral("Ход экспорта"));
    prgExport->hide();
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setWordWrap(true);

    cmdExport = new QPushButton(QStringLiteral("Экспортировать..."), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdExport->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Отмена"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setEnabled(false);
    cmdClose = new QPushButton(QStringLiteral("Закрыть"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto *form = new QFormLayout;
    form->addRow(formatLabel, cboFormat);
    form->addRow(chkPictures);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdExport);
    buttons->addWidget(cmdCancel);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(what);
    layout->addLayout(form);
    layout->addWidget(prgExport);
    layout->addWidget(lblStatus);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(440, 300);

    connect(cmdExport, &QPushButton::clicked, this, &frmExport::cmdExport_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmExport::cmdCancel_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    auto *closeWindow = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeWindow, &QShortcut::activated, this, [this] {
        if (running())
            cmdCancel_Click();
        else
            close();
    });
    connect(&m_session, &zv::CatalogueSession::entrySelected, this, &frmExport::updateChoices);
    connect(&m_session, &zv::CatalogueSession::entryRemoved, this, &frmExport::updateChoices);
    connect(&m_session, &zv::CatalogueSession::categoryLoaded, this, &frmExport::updateChoices);
    updateChoices();
    optCategory->setChecked(true);
}

frmExport::~frmExport() = default;

void frmExport::showEvent(QShowEvent *event)
{
    updateChoices();
    QWidget::showEvent(event);
}

void frmExport::updateChoices()
{
    const QString entry = m_session.selectedName();
    const auto category = zv::categoryByTable(m_session.CurrentTable());
    optEntry->setText(entry.isEmpty() ? QStringLiteral("Выбранная запись (не выбрана)")
                                      : QStringLiteral("Запись «") + entry + QStringLiteral("»"));
    optEntry->setEnabled(!entry.isEmpty() && !running());
    optCategory->setText(QStringLiteral("Раздел «") + (category ? category->displayName : QString()) +
                         QStringLiteral("»"));
    optCategory->setEnabled(category.has_value() && !running());
    if (optEntry->isChecked() && !optEntry->isEnabled())
        optCategory->setChecked(true);
    if (optCategory->isChecked() && !optCategory->isEnabled())
        optCatalogue->setChecked(true);
}

void frmExport::cmdExport_Click()
{
    if (running())
        return;
    const FormatChoice &choice = formatChoices()[size_t(std::max(0, cboFormat->currentIndex()))];
    zv::FileDialogRequest dialog;
    dialog.title = QStringLiteral("Папка, в которую записать экспорт");
    dialog.initialFolder = QDir::homePath();
    dialog.initialName = choice.suggestedName;
    const std::optional<QString> target = zv::seam().saveFileDialog(this, dialog);
    if (!target || target->isEmpty())
        return;

    ExportRequest request;
    request.cataloguePath = zv::cataloguePath();
    request.pictureFolder = zv::screenshots::folder();
    request.scope = optEntry->isChecked()      ? ExportRequest::Scope::Entry
                    : optCategory->isChecked() ? ExportRequest::Scope::Category
                                               : ExportRequest::Scope::Catalogue;
    request.table = m_session.CurrentTable();
    request.rowId = m_session.selectedRowId();
    request.format = choice.format;
    request.withPictures = chkPictures->isChecked();
    request.target = *target;
    m_job = std::make_unique<zv::interchange::ExportJob>(request);
    connect(m_job.get(), &zv::interchange::ExportJob::progress, this, [this](int done, int total) {
        prgExport->setRange(0, std::max(total, 1));
        prgExport->setValue(done);
        lblStatus->setText(QStringLiteral("Записано %1 из %2").arg(done).arg(total));
    });
    connect(m_job.get(), &zv::interchange::ExportJob::finished, this,
            [this, path = *target](const zv::interchange::ExportResult &result) { exportFinished(result, path); });
    setBusy(true);
    lblStatus->setText(QStringLiteral("Экспорт..."));
    m_job->start();
}

void frmExport::cmdCancel_Click()
{
    if (m_job)
        m_job->cancel();
}

void frmExport::exportFinished(const zv::interchange::ExportResult &result, const QString &target)
{
    m_job.reset();
    setBusy(false);
    switch (result.outcome) {
    case ExportOutcome::Written:
        lblStatus->setText(QStringLiteral("Экспортировано записей: %1 — в папку «%2».")
                               .arg(result.entries)
                               .arg(QDir::toNativeSeparators(target)));
        break;
    case ExportOutcome::Cancelled:
        lblStatus->setText(QStringLiteral("Экспорт отменён; ничего не записано."));
        break;
    case ExportOutcome::Failed:
        lblStatus->setText(QStringLiteral("Экспорт не удался."));
        zv::showMessage(this, QStringLiteral("Не удалось экспортировать.\n") + result.failure,
                        zv::MessageForm::OkExclamation);
        break;
    }
}

void frmExport::setBusy(bool busy)
{
    prgExport->setVisible(busy);
    prgExport->setRange(0, 0);
    cmdExport->setEnabled(!busy);
    cmdCancel->setEnabled(busy);
    cboFormat->setEnabled(!busy);
    chkPictures->setEnabled(!busy);
    optCatalogue->setEnabled(!busy);
    updateChoices();
}

QAction *exportWindowAction(QWidget *owner)
{
    return zv::ownedWindowAction(owner, QPixmap(), QStringLiteral("Экспорт (Ctrl+Shift+E)"),
                                 QStringLiteral("actExport"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
}

frmExport *openExportWindow(QWidget *owner, zv::CatalogueSession &session)
{
    return zv::showOwnedWindow<frmExport>(owner, [&] { return new frmExport(session, owner); });
}
