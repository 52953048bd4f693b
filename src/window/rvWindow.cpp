// The window's controls, its start-up and album choice, the timing and format
// settings, and the transition choice.

#include "rvWindow.h"

#include "Random.h"
#include "SystemLog.h"
#include "TextNumber.h"

namespace {

// The control references may be left unset by the layout. Every read goes
// through these helpers, so an unset control reads as 0 or no string and a
// write to one does nothing.

QString textOf(const toolkit::TextField *field)
{
    return field ? field->stringValue() : QString();
}

int32_t intValueOf(const toolkit::TextField *field)
{
    return field ? field->intValue() : 0;
}

int32_t itemCountOf(const toolkit::PopUpButton *popup)
{
    return popup ? popup->numberOfItems() : 0;
}

// 0 for an unset popup (as any unset control reads), -1 for a popup without a
// selection.
int32_t selectedIndexOf(const toolkit::PopUpButton *popup)
{
    return popup ? popup->indexOfSelectedItem() : 0;
}

QString selectedTitleOf(const toolkit::PopUpButton *popup)
{
    return popup ? popup->titleOfSelectedItem() : QString();
}

QString itemTitleOf(const toolkit::PopUpButton *popup, int32_t index)
{
    return popup ? popup->itemTitleAtIndex(index) : QString();
}

int32_t stateOf(const toolkit::Button *button)
{
    return button ? button->state() : 0;
}

const QString kRandomItemTitle = QStringLiteral("(random)");
const QString kNTSCFrameRateTitle = QStringLiteral("29.97");
constexpr int32_t kNTSCFrameRate = 30;

// The transition used when the popup names none: the plainest one.
const QString kDefaultTransition = QStringLiteral("Cross Dissolve");
const QString kDefaultShortName = QStringLiteral("Dissolve");

} // namespace

// ---------------------------------------------------------------------------
// Start-up and album selection

void rvWindow::awakeFromNib()
{
    if (gTransitionSelectionField)
        gIndexOfRandom = gTransitionSelectionField->indexOfItemWithTitle(kRandomItemTitle);
    refreshIPhotoData();
}

void rvWindow::applicationWillBecomeActive()
{
    refreshIPhotoData();
}

void rvWindow::refreshIPhotoData()
{
    if (iPhotoDataLoader)
        iPhotoDataLoader();
    else
        initIPhotoData();
}

void rvWindow::setAlbumNames(const std::optional<QStringList> &names)
{
    // Keep the user's album across a refill, found again by its name. A popup
    // with a single item holds the layout's placeholder or the only album, and
    // either way the first item after the refill is the right one.
    QString remembered;
    if (itemCountOf(gAlbumPopup) > 1)
        remembered = selectedTitleOf(gAlbumPopup);

    if (!gAlbumPopup)
        return;
    gAlbumPopup->removeAllItems();
    gAlbumPopup->addItemsWithTitles(names.value_or(QStringList()));

    // No selection to keep (null title): the refill's own selection stands.
    if (remembered.isNull())
        return;
    int32_t index = gAlbumPopup->indexOfItemWithTitle(remembered);
    if (index == -1)
        index = 0;
    gAlbumPopup->selectItemAtIndex(index); // on an empty popup this selects nothing
}

void rvWindow::setSelectedAlbum()
{
    const int32_t index = selectedIndexOf(gAlbumPopup);
    gSelectedAlbumIndex = index;
    if (index == -1)
        return;

    gKeysForAlbum = getItemKeysForAlbum(gPlist, index);

    // The album's name becomes the slideshow's title. Without an album popup
    // there is no name, and the title field keeps its text.
    if (gAlbumPopup && gSlideshowTitleField)
        gSlideshowTitleField->setStringValue(gAlbumPopup->titleOfSelectedItem());
}

// ---------------------------------------------------------------------------
// Timing and format settings
//
// Durations are formed in 64 bits and saturated to the int32 range, so huge
// numbers typed in the fields give the nearest representable duration instead
// of wrapping around.

int32_t rvWindow::getFPS()
{
    const QString title = selectedTitleOf(gFramerateSelectionField);
    if (title.isNull() || title == kNTSCFrameRateTitle)
        return kNTSCFrameRate;
    return intValueOfText(title);
}

rvWindow::FrameRate rvWindow::frameRate()
{
    const QString title = selectedTitleOf(gFramerateSelectionField);
    if (title.isNull() || title == kNTSCFrameRateTitle)
        return {kNTSCFrameRate * 1000, 1001};
    return {getFPS(), 1};
}

QString rvWindow::getTimebase()
{
    return QString::number(getFPS());
}

QString rvWindow::getNTSCRate()
{
    return getFPS() == kNTSCFrameRate ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}

QString rvWindow::getSeqPreset()
{
    return getFPS() == kNTSCFrameRate ? QStringLiteral("DV NTSC 48 kHz")
                                      : QStringLiteral("DV PAL 48 kHz");
}

int32_t rvWindow::getClipDuration()
{
    return saturatedInt32(int64_t{intValueOf(gClipDurationField)} * getFPS());
}

int32_t rvWindow::getTransitionDuration()
{
    return saturatedInt32(int64_t{intValueOf(gTransitionDurationField)} * getFPS());
}

QString rvWindow::getMediaDuration()
{
    return QString::number(saturatedInt32(int64_t{getClipDuration()} + 4 * int64_t{getTransitionDuration()}));
}

QString rvWindow::getMediaIn(int32_t *out)
{
    const int64_t transition = getTransitionDuration();
    if (out)
        *out = saturatedInt32(transition + getClipDuration() + 2 * transition);
    return QString::number(transition);
}

QString rvWindow::getTransitionDuration(int32_t *out)
{
    const int32_t transition = getTransitionDuration();
    if (out)
        *out = transition;
    return QString::number(transition);
}

Value rvWindow::getTransDuration()
{
    return Value::integer(getTransitionDuration());
}

bool rvWindow::shouldCreateNewProject()
{
    return !gCreateNewProjectButton || stateOf(gCreateNewProjectButton) == 1;
}

QString rvWindow::getSlideShowTitle()
{
    return textOf(gSlideshowTitleField);
}

QString rvWindow::getCompHeight()
{
    return textOf(gCompHeight);
}

QString rvWindow::getCompWidth()
{
    return textOf(gCompWidth);
}

// ---------------------------------------------------------------------------
// Transition choice

QString rvWindow::getTransitionName(QString &shortName)
{
    int32_t index = selectedIndexOf(gTransitionSelectionField);
    if (index == gIndexOfRandom) {
        if (gIndexOfRandom >= 1) {
            // One of the transitions listed before the random item.
            index = static_cast<int32_t>(systemRandom() % gIndexOfRandom);
        } else if (gIndexOfRandom < 0) {
            // No random item and nothing selected: the first item.
            index = 0;
        } else {
            // The random item stands first, or there is no transition popup:
            // nothing to pick from.
            shortName = kDefaultShortName;
            return kDefaultTransition;
        }
    }
    return getTransitionName(shortName, index);
}

QString rvWindow::getTransitionName(QString &shortName, int32_t index)
{
    const QString title = itemTitleOf(gTransitionSelectionField, index);
    if (title.isNull()) {
        // The index names no item.
        shortName = kDefaultShortName;
        return kDefaultTransition;
    }
    if (title == QLatin1String("random")) {
        shortName = kDefaultShortName;
        systemLog(QStringLiteral("we got the index for random in getTransitionName:forIndex"));
        return kDefaultTransition;
    }
    if (title == QLatin1String("Cross Dissolve")) {
        shortName = QStringLiteral("Dissolve");
        return title;
    }
    if (title == QLatin1String("Edge Wipe")) {
        shortName = QStringLiteral("Wipe");
        return title;
    }
    shortName = QStringLiteral("Iris");
    return title;
}
