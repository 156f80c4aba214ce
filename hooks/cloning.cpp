#include "hooks/hooks.h"

bool Hook_APrimalStructure_TryMultiUse(APrimalStructure* structure, APlayerController* controller,
                                       int32_t use_index) {
  return Original<"APrimalStructure.TryMultiUse">(structure, controller, use_index);
}

bool Hook_AActor_BPServerHandleNetExecCommand(AActor* actor, APlayerController* controller,
                                              FName command, FBPNetExecParams* params) {
  return Original<"AActor.BPServerHandleNetExecCommand">(actor, controller, command, params);
}
