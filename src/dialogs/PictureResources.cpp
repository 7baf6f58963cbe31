#include "dialogs/PictureResources.h"

#include <QtGlobal>

// Qt's registration macro cannot be used inside a namespace.
static void RegisterVostaResources() { Q_INIT_RESOURCE(vosta); }

namespace vosta {

void LoadPictureResources() { RegisterVostaResources(); }

}  // namespace vosta
