#include "uninstall/uninstall.h"

void RemoveIntegration()
{
  // Nothing is integrated yet: associations, shell extension and links
  // arrive with setup mode.
}
