// A file that breaks the include rule, for the rule's own test.
#include <string>
  #  include <webkit2/webkit2.h>
