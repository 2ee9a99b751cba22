#pragma once
#include <QString>
#include <QUuid>
#include <optional>

// Coalescing keys of inspector edits: one undo step per control and element while its changes
// come less than 1.5 s apart. A continuous control of the single selected element uses
// elementKey(prefix, id) ("rot-", "op-", "name-", "size-", "track-", "lead-", "tcolor-", "rad-",
// "sides-", "inner-", "crop-"); a section applying a fill or stroke editor's fixed key to one
// element extends it with extendKey, and the page background extends it with pageKey, so that
// edits of the front and of the back are separate steps. Discrete
// actions (buttons, pickers, toggles, field commits, swatch picks) carry no key.
// `prefix` followed by the id's 36 upper-case characters.
[[nodiscard]] QString elementKey(const QString &prefix, const QUuid &id);
// `key`, "-" and the id's 36 upper-case characters; no key stays no key.
[[nodiscard]] std::optional<QString> extendKey(const std::optional<QString> &key, const QUuid &id);
// `key`, "-page" and the page's index ("fill-color-page1"); no key stays no key.
[[nodiscard]] std::optional<QString> pageKey(const std::optional<QString> &key, int page);
