#include "zrChangeListSelectionDialog.h"

#include "BusyCursorGuard.h"
#include "DesktopUtilities.h"
#include "NarrowText.h"
#include "PlainMessageBox.h"
#include "qfilelistwidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QTextOption>
#include <QVBoxLayout>

#include <list>
#include <utility>

namespace {

// Fixed entries of the changelist box; they are names, not prose, and stay untranslated.
constexpr char kNewEntry[] = "New";
constexpr char kDefaultEntry[] = "Default";
constexpr int kDescriptionRole = Qt::UserRole;

bool IsUtf8Continuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

} // namespace

std::string MakeChangeListLabel(const std::string& name, const std::string& description)
{
    std::string label = name + " " + description;
    if (label.size() <= zrChangeListSelectionDialog::kMaxLabelBytes) return label;
    std::size_t cut = zrChangeListSelectionDialog::kMaxLabelBytes;
    // The byte at the cut starts the next character unless it continues one: back up to that start.
    while (cut > 0 && IsUtf8Continuation(label[cut]))
        --cut;
    label.resize(cut);
    return label;
}

std::string ChangeListNameFromLabel(const std::string& label)
{
    std::size_t end = 0;
    while (end < label.size() && static_cast<signed char>(label[end]) > ' ')
        ++end;
    return label.substr(0, end);
}

zrChangeListSelectionDialog::zrChangeListSelectionDialog(qor4::QORPtr<qor4::IDataControl> dataControl_,
                                                         QString assetsText, const std::set<std::string>& files_,
                                                         bool showFilesAtStart, bool selectChangeList, QWidget* parent)
    : QDialog(parent), dataControl(std::move(dataControl_)), files(files_)
{
    fileList = new QFileListWidget(QStringList());
    QStringList paths;
    for (const std::string& file : files)
        paths << FromNarrow(file);
    fileList->AddFiles(paths);

    auto* mainLayout = new QVBoxLayout(this);

    messageLabel = new QLabel(this);
    messageLabel->setObjectName(QStringLiteral("messageLabel"));
    PlainMessageBox::MakePlain(*messageLabel);
    messageLabel->hide();
    mainLayout->addWidget(messageLabel);

    if (!assetsText.isEmpty()) {
        auto* assetsLabel = new QLabel(tr("Assets:"), this);
        assetsLabel->setObjectName(QStringLiteral("assetsLabel"));
        auto* assetsEdit = new QTextEdit(this);
        assetsEdit->setObjectName(QStringLiteral("assetsEdit"));
        assetsEdit->setReadOnly(true);
        assetsEdit->setWordWrapMode(QTextOption::NoWrap);
        // Asset names come from the repository: shown as they are, never as markup.
        assetsEdit->setPlainText(assetsText);
        mainLayout->addWidget(assetsLabel);
        mainLayout->addWidget(assetsEdit);
    }

    if (selectChangeList) {
        changeListCombo = new QComboBox(this);
        changeListCombo->setObjectName(QStringLiteral("changeListCombo"));
        descriptionEdit = new QTextEdit(this);
        descriptionEdit->setObjectName(QStringLiteral("descriptionEdit"));
        connect(changeListCombo, &QComboBox::currentIndexChanged, this,
                &zrChangeListSelectionDialog::onChangeListChanged);
        auto* changeListLabel = new QLabel(tr("Add files to pending changelist:"), this);
        changeListLabel->setObjectName(QStringLiteral("changeListLabel"));
        auto* descriptionLabel = new QLabel(tr("Changelist description"), this);
        descriptionLabel->setObjectName(QStringLiteral("descriptionLabel"));
        mainLayout->addWidget(changeListLabel);
        mainLayout->addWidget(changeListCombo);
        mainLayout->addWidget(descriptionLabel);
        mainLayout->addWidget(descriptionEdit);
    }

    auto* showFilesRow = new QHBoxLayout;
    showFilesButton = new QPushButton(showFilesAtStart ? tr("Hide Files") : tr("Show Files"), this);
    showFilesButton->setObjectName(QStringLiteral("showFilesButton"));
    showFilesRow->addWidget(showFilesButton);
    showFilesRow->addStretch(1);
    mainLayout->addLayout(showFilesRow);

    mainLayout->addWidget(fileList);
    fileList->setVisible(showFilesAtStart);

    auto* buttonRow = new QHBoxLayout;
    QPushButton* refreshButton = nullptr;
    if (selectChangeList) {
        refreshButton = new QPushButton(tr("Refresh"), this);
        refreshButton->setObjectName(QStringLiteral("refreshButton"));
        buttonRow->addWidget(refreshButton);
        buttonRow->addStretch(1);
    }
    checkOutButton = new QPushButton(tr("Check Out"), this);
    checkOutButton->setObjectName(QStringLiteral("checkOutButton"));
    checkOutButton->setDefault(true);
    checkOutButton->setEnabled(selectChangeList);
    continueButton = new QPushButton(tr("Continue"), this);
    continueButton->setObjectName(QStringLiteral("continueButton"));
    continueButton->hide();
    makeWritableButton = new QPushButton(tr("Make Writable"), this);
    makeWritableButton->setObjectName(QStringLiteral("makeWritableButton"));
    makeWritableButton->hide();
    auto* cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    buttonRow->addWidget(checkOutButton);
    buttonRow->addWidget(continueButton);
    buttonRow->addWidget(makeWritableButton);
    buttonRow->addWidget(cancelButton);
    mainLayout->addLayout(buttonRow);

    dontShowAgainCheckBox = new QCheckBox(this);
    dontShowAgainCheckBox->setObjectName(QStringLiteral("dontShowAgainCheckBox"));
    setDontShowAgainText(false);
    mainLayout->addWidget(dontShowAgainCheckBox);

    if (refreshButton) connect(refreshButton, &QPushButton::clicked, this, &zrChangeListSelectionDialog::refreshData);
    connect(checkOutButton, &QPushButton::clicked, this, &zrChangeListSelectionDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &zrChangeListSelectionDialog::reject);
    connect(continueButton, &QPushButton::clicked, this, &zrChangeListSelectionDialog::continueSlot);
    connect(makeWritableButton, &QPushButton::clicked, this, &zrChangeListSelectionDialog::makeWritableSlot);
    connect(showFilesButton, &QPushButton::clicked, this, &zrChangeListSelectionDialog::showFiles);

    if (selectChangeList) {
        setWindowTitle(tr("Select Pending ChangeList"));
        refreshData();
    } else {
        setWindowTitle(tr("Read-Only Assets"));
    }
}

zrChangeListSelectionDialog::~zrChangeListSelectionDialog()
{
    files.clear();
    changeList.clear();
    dataControl.Reset();
}

void zrChangeListSelectionDialog::setMessage(const QString& text)
{
    messageLabel->setText(text);
    messageLabel->setVisible(!text.isEmpty());
}

void zrChangeListSelectionDialog::setCheckOutButtonText(const QString& text)
{
    checkOutButton->setText(text);
}

void zrChangeListSelectionDialog::setContinueButtonVisible(bool visible)
{
    continueButton->setVisible(visible);
    setDontShowAgainText(visible);
}

void zrChangeListSelectionDialog::setMakeWritableButtonVisible(bool visible)
{
    makeWritableButton->setVisible(visible);
    setDontShowAgainText(visible);
}

void zrChangeListSelectionDialog::setDontShowAgainText(bool optionVisible)
{
    dontShowAgainCheckBox->setText(optionVisible ? tr("Don't show this dialog again (always use this option)")
                                                 : tr("Don't show this dialog again (always use this changelist)"));
}

std::string zrChangeListSelectionDialog::getChangeList() const
{
    return changeList;
}

bool zrChangeListSelectionDialog::isDontShowAgainChecked() const
{
    return dontShowAgainCheckBox && dontShowAgainCheckBox->checkState() == Qt::Checked;
}

void zrChangeListSelectionDialog::refreshData()
{
    changeListCombo->clear();
    changeListCombo->addItem(QLatin1String(kNewEntry), QVariant());
    changeListCombo->addItem(QLatin1String(kDefaultEntry), QVariant());

    std::list<std::string> names;
    std::string message;
    if (dataControl->GetPendingChangeLists(names, message).Succeeded()) {
        for (const std::string& name : names) {
            std::string description;
            std::string describeMessage;
            if (!dataControl->GetChangeListDescription(name, description, describeMessage).Succeeded()) break;
            changeListCombo->addItem(FromNarrow(MakeChangeListLabel(name, description)),
                                     QVariant(FromNarrow(description)));
        }
    }
    changeListCombo->setCurrentIndex(DefaultIndex);
}

int zrChangeListSelectionDialog::exec()
{
    // The host may be showing a wait cursor; the user needs the arrow to answer.
    const BusyCursorGuard arrow(Qt::ArrowCursor);
    return QDialog::exec();
}

void zrChangeListSelectionDialog::accept()
{
    if (!changeListCombo) return;
    const int index = changeListCombo->currentIndex();
    if (index == NewIndex) {
        std::string message;
        // A failure keeps the dialog open and silent: the data control tells the host's log.
        if (dataControl->CreateChangeList(ToNarrow(descriptionEdit->toPlainText()), changeList, message).Succeeded())
            done(ResultCheckOut);
        return;
    }
    if (index == DefaultIndex)
        changeList.clear();
    else
        changeList = ChangeListNameFromLabel(ToNarrow(changeListCombo->itemText(index)));
    done(ResultCheckOut);
}

void zrChangeListSelectionDialog::reject()
{
    done(ResultCancel);
}

void zrChangeListSelectionDialog::continueSlot()
{
    done(ResultContinue);
}

void zrChangeListSelectionDialog::makeWritableSlot()
{
    done(ResultMakeWritable);
}

void zrChangeListSelectionDialog::showFiles()
{
    if (!fileList->isHidden()) {
        showFilesButton->setText(tr("Show Files"));
        fileList->hide();
    } else {
        showFilesButton->setText(tr("Hide Files"));
        fileList->show();
    }
}

void zrChangeListSelectionDialog::showFilesInExplorer()
{
    QStringList paths;
    for (const std::string& file : files)
        paths << FromNarrow(file);
    ShowFilesInExplorer(paths);
}

void zrChangeListSelectionDialog::onChangeListChanged(int)
{
    const int index = changeListCombo->currentIndex();
    if (index == NewIndex) {
        descriptionEdit->setReadOnly(false);
        descriptionEdit->setEnabled(true);
        descriptionEdit->clear();
    } else if (index == DefaultIndex) {
        descriptionEdit->setEnabled(false);
        descriptionEdit->setReadOnly(false);
        descriptionEdit->clear();
    } else {
        descriptionEdit->setReadOnly(true);
        descriptionEdit->setEnabled(true);
        descriptionEdit->setPlainText(changeListCombo->itemData(index, kDescriptionRole).toString());
    }
}
