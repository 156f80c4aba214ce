#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/settings.h"
#include "cluster/sync_worker.h"

// The plug-in's one link to its cluster: the sync worker made from the "Cluster" settings, fed
// with the store's change feed and feeding Others() with what it reads. Game thread only; none of
// these waits on the database (StopCluster waits at most the worker's stop bound, at unload).

// The worker's parameters for a configured section.
ClusterParams ToClusterParams(const ClusterSettings& settings);

// At load and after a reload went live: starts, keeps, replaces or ends the worker to match
// `settings`. A worker that is replaced is asked to stop and joined later (at the timer, or at
// StopCluster), so a reload never waits on it. The other maps' counts are dropped when the
// database, the cluster or this map's name changed.
void ApplyClusterSettings(const std::optional<ClusterSettings>& settings);
// At unload: stops every worker, writing what is pending while the database answers, and
// waiting at most the stop bound for each (in all, about that bound).
void StopCluster();

// At the framework's timer: hands over this map's changes, answers the worker's requests, writes
// its log lines, takes what it read, and joins workers that have finished stopping.
void ClusterOnTimer();

// The running worker, or null without a cluster.
SyncWorker* ClusterWorker();

// `Cluster "main" as "TheIsland": connected, in sync`, or that there is no cluster.
std::string ClusterStateLine();
// The state line, then one line per map known: its name, teams, creatures and last write.
std::vector<std::string> ClusterStatusLines();
