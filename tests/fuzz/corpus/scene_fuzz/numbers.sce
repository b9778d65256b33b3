x
* MotionData
MotionName: N
AMCFiles: b.amc
BodyWeights: 99999999999999999999
END
* MotionDataSet
ID: -2147483649
IdleMotion: n
AttackMotion: n
END
* Character
CharacterName: Far
Position: 1e39 -nan inf
GameplayController: -2147483648
DatasetID: -2147483649
END
* Character
CharacterName: Odd
Position: +.5 3x 7
DefaultRootMotion: n 2147483648
END
