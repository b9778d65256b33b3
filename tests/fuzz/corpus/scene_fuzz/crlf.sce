// a scene for the fuzzer
* MotionData
MotionName: Walk
AMCFiles: a.amc, b.amc,c.amc
BodyWeights: 1
END
* MotionData
MotionName: Punch
AMCFiles: c.amc
BodyWeights: 4
END
* MotionDataSet
ID: 1
AttackMotion: punch
DefensiveMotion: walk
IdleMotion: WALK
END
* Character
CharacterName: Boxer
Position: -2.5 0 1e3
GameplayController: 0
DatasetID: 1
END
* Character
CharacterName: Walker
Position: 0 0 -3
DefaultRootMotion: walk 1
DefaultBlendMotion: punch 2
Enabled: 0
END
